package com.palex.zu;

/**
 * A scriptable position source: records its lifecycle calls and the value of
 * mJniData it saw, answers init and unInit as told, and reports fixes from
 * Java threads of its own.
 */
public class VGps {
    static {
        System.loadLibrary("vos");
    }

    public static boolean initResult = true;
    public static boolean unInitResult = true;
    public static int instances, initCalls, unInitCalls;
    public static int jniDataAtInit = -1, jniDataAtUnInit = -1;
    public static volatile VGps current;

    private static volatile boolean writing;
    private static Thread writer;
    public static volatile long written;

    public int mJniData = 77;

    public VGps() {
        instances++;
        current = this;
    }

    public boolean init() {
        initCalls++;
        jniDataAtInit = mJniData;
        return initResult;
    }

    public boolean unInit() {
        unInitCalls++;
        jniDataAtUnInit = mJniData;
        mJniData = 77;
        return unInitResult;
    }

    private native void updateGps(double v1, double v2, float v3, float v4, int v5, int v6);

    /** Reports one fix from a new Java thread and waits for it. */
    public static void reportFix(double v1, double v2, float v3, float v4, int v5, int v6)
            throws InterruptedException {
        VGps source = current;
        Thread reporter = new Thread(() -> source.updateGps(v1, v2, v3, v4, v5, v6), "gps-reporter");
        reporter.start();
        reporter.join();
    }

    /** Reports fixes (k, k, k, k, k, k) for k = 1, 2, ... in a tight loop until stopped. */
    public static synchronized void startWriter() {
        VGps source = current;
        writing = true;
        written = 0;
        writer = new Thread(() -> {
            for (int k = 1; writing; k = k % 20000 + 1) {
                source.updateGps(k, k, k, k, k, k);
                written++;
            }
        }, "gps-writer");
        writer.start();
    }

    public static synchronized void stopWriter() throws InterruptedException {
        writing = false;
        if (writer != null) {
            writer.join();
            writer = null;
        }
    }
}
