package com.palex.zu;

/**
 * The position source behind the native GPS manager. The native side creates
 * one instance, calls {@link #init} to start it and {@link #unInit} to stop
 * it; fixes are handed to the native side through {@link #updateGps} as
 * latitude and longitude in degrees, accuracy in metres, speed in metres per
 * second, the bearing in degrees and the number of satellites used.
 *
 * A host has no receiver: this source starts and stops but reports nothing
 * by itself. {@link #report} hands a fix in on the caller's thread, as a
 * device's location callback would.
 */
public class VGps {
    static {
        System.loadLibrary("vos");
    }

    /** Owned by the native side; it sets it to 0 before init and unInit. */
    public int mJniData;

    private volatile boolean running;

    public VGps() {
    }

    public boolean init() {
        running = true;
        return true;
    }

    public boolean unInit() {
        running = false;
        return true;
    }

    public boolean isRunning() {
        return running;
    }

    /** Reports one fix while the source runs; ignored otherwise. */
    public void report(double latitude, double longitude, float accuracy, float speed, int bearing,
            int satellites) {
        if (running) {
            updateGps(latitude, longitude, accuracy, speed, bearing, satellites);
        }
    }

    private native void updateGps(double latitude, double longitude, float accuracy, float speed,
            int bearing, int satellites);
}
