package com.palex.zu;

/** A scriptable compass: records its lifecycle calls and reports readings from a Java thread. */
public class VCompass {
    static {
        System.loadLibrary("vos");
    }

    public static int instances, initCalls, unInitCalls;
    public static int jniDataAtInit = -1;
    public static volatile VCompass current;

    public int mJniData = 77;

    public VCompass() {
        instances++;
        current = this;
    }

    public void init() {
        initCalls++;
        jniDataAtInit = mJniData;
    }

    public void unInit() {
        unInitCalls++;
    }

    private native void updateCompass(int value);

    /** Reports one reading from a new Java thread and waits for it. */
    public static void reportReading(int value) throws InterruptedException {
        VCompass compass = current;
        Thread reporter = new Thread(() -> compass.updateCompass(value), "compass-reporter");
        reporter.start();
        reporter.join();
    }
}
