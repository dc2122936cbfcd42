package com.palex.zu;

import android.app.Activity;
import android.app.Application;
import android.content.Context;
import android.os.Bundle;
import android.os.Handler;
import android.os.Looper;
import android.util.Log;

import java.lang.ref.WeakReference;

/**
 * The one entry point of vos in an Android application. Call
 * {@link #init(Context)} from {@code Application.onCreate}, on the main
 * thread: it loads libvos.so, keeps the application context for the
 * companion classes, follows the current activity (for the screen calls),
 * and brings the library up on this Java-called thread, so that the library
 * resolves the companion classes through the application's class loader.
 * {@link #shutdown()} takes it down again.
 */
public final class Vos {
    static final String TAG = "vos";

    private static volatile Context sContext;
    private static boolean sLoaded;
    private static boolean sUp;
    private static Application sTracked;
    private static volatile WeakReference<Activity> sActivity = new WeakReference<>(null);

    private static final Application.ActivityLifecycleCallbacks TRACKER =
            new Application.ActivityLifecycleCallbacks() {
                @Override
                public void onActivityCreated(Activity activity, Bundle state) {
                }

                @Override
                public void onActivityStarted(Activity activity) {
                }

                @Override
                public void onActivityResumed(Activity activity) {
                    sActivity = new WeakReference<>(activity);
                    VDeviceAPI.applyKeepScreenOn(activity);
                }

                @Override
                public void onActivityPaused(Activity activity) {
                }

                @Override
                public void onActivityStopped(Activity activity) {
                }

                @Override
                public void onActivitySaveInstanceState(Activity activity, Bundle state) {
                }

                @Override
                public void onActivityDestroyed(Activity activity) {
                    if (sActivity.get() == activity) {
                        sActivity = new WeakReference<>(null);
                    }
                }
            };

    private Vos() {
    }

    /**
     * Loads the library and brings it up; true when it is up (also when it
     * was up already). Call it on the main thread before any other use of
     * vos; the native side then works from any thread.
     */
    public static synchronized boolean init(Context context) {
        if (context == null) {
            return false;
        }
        Context app = context.getApplicationContext();
        sContext = app != null ? app : context;
        if (!sLoaded) {
            System.loadLibrary("vos");
            sLoaded = true;
        }
        if (sTracked != null) {
            sTracked.unregisterActivityLifecycleCallbacks(TRACKER);
            sTracked = null;
        }
        if (sContext instanceof Application) {
            sTracked = (Application) sContext;
            sTracked.registerActivityLifecycleCallbacks(TRACKER);
        }
        sActivity = new WeakReference<>(null);
        if (!sUp) {
            sUp = nativeInit();
            if (!sUp) {
                Log.e(TAG, "the library could not start");
            }
        }
        return sUp;
    }

    /** Takes the library down if {@link #init} brought it up; stops network reports. */
    public static void shutdown() {
        // Outside this class's lock: VDeviceAPI holds its own while it reads the context.
        VDeviceAPI.unsetNetworkChangedCallback();
        synchronized (Vos.class) {
            if (sTracked != null) {
                sTracked.unregisterActivityLifecycleCallbacks(TRACKER);
                sTracked = null;
            }
            if (sUp) {
                nativeShutdown();
                sUp = false;
            }
        }
    }

    /** The application context given to init, or null before it. */
    static Context context() {
        return sContext;
    }

    /** The resumed activity, or null. */
    static Activity currentActivity() {
        return sActivity.get();
    }

    /** Runs task on the main thread: now when called there, else posted. */
    static void onMainThread(Runnable task) {
        Looper main = Looper.getMainLooper();
        if (Looper.myLooper() == main) {
            task.run();
        } else {
            new Handler(main).post(task);
        }
    }

    private static native boolean nativeInit();

    private static native void nativeShutdown();
}
