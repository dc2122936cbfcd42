package com.palex.zu;

/** A position source that can be created but lacks its unInit method. */
public class VGps {
    public static int instances, initCalls;
    public int mJniData;

    public VGps() {
        instances++;
    }

    public boolean init() {
        initCalls++;
        return true;
    }
}
