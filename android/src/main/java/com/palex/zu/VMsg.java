package com.palex.zu;

import android.os.Handler;
import android.os.Looper;

/**
 * The Java half of the native message bus: {@link #postMessage} queues the
 * triple on the main thread's looper, which hands it back to the native
 * observers through {@link #OnUserCommand}, in the order of posting. Any
 * thread may post.
 */
public final class VMsg {
    private static Handler sHandler;

    private VMsg() {
    }

    public static void postMessage(final int id, final int wParam, final int lParam) {
        handler().post(new Runnable() {
            @Override
            public void run() {
                OnUserCommand(id, wParam, lParam);
            }
        });
    }

    private static synchronized Handler handler() {
        Looper main = Looper.getMainLooper();
        if (sHandler == null || sHandler.getLooper() != main) {
            sHandler = new Handler(main);
        }
        return sHandler;
    }

    private static native void OnUserCommand(int id, int wParam, int lParam);
}
