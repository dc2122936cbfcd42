package com.palex.zu;

/** A compass that can be created but lacks its unInit method. */
public class VCompass {
    public static int instances, initCalls;
    public int mJniData;

    public VCompass() {
        instances++;
    }

    public void init() {
        initCalls++;
    }
}
