package com.palex.zu;

/**
 * A device that answers only the first method of each pair of queries: the
 * second lookup fails, and every other method is missing altogether.
 */
public final class VDeviceAPI {
    public static long total = 5;
    public static float width = 319.5f;

    private VDeviceAPI() {
    }

    public static long getTotalSpace() { return total; }
    public static long getTotalMemory() { return total; }
    public static float getSystemMetricsX() { return width; }
}
