package com.palex.zu;

/**
 * The compass behind the native CVCompass. The native side creates one
 * instance, calls {@link #init} to start it and {@link #unInit} to stop it;
 * readings are handed to the native side through {@link #updateCompass} as
 * the heading in whole degrees (0 to 359).
 *
 * A host has no sensor: this compass starts and stops but reports nothing by
 * itself. {@link #report} hands a reading in on the caller's thread.
 */
public class VCompass {
    static {
        System.loadLibrary("vos");
    }

    /** Owned by the native side; it sets it to 0 before init and unInit. */
    public int mJniData;

    private volatile boolean running;

    public VCompass() {
    }

    public void init() {
        running = true;
    }

    public void unInit() {
        running = false;
    }

    public boolean isRunning() {
        return running;
    }

    /** Reports one heading while the compass runs; ignored otherwise. */
    public void report(int heading) {
        if (running) {
            updateCompass(heading);
        }
    }

    private native void updateCompass(int heading);
}
