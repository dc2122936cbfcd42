package vostest;

/**
 * The application's side of a JVM test executable. The executable loads this
 * class through a class loader of its own, as an application's classes are
 * loaded, binds {@link #run} to a function of its own and calls it. The tests
 * then run inside a native method of an application class: the main thread
 * finds the companion classes the way an Android application's threads do,
 * and threads that native code starts find none of them.
 */
public final class AppBoot {
    private AppBoot() {
    }

    /** Runs the native body whose address is given; returns its result. */
    public static native int run(long body);
}
