package com.palex.zu;

/**
 * A message class that refuses id 99 with an exception and hands every other
 * message straight back on the posting thread.
 */
public final class VMsg {
    static {
        System.loadLibrary("vos");
    }

    private VMsg() {
    }

    public static void postMessage(int id, int wParam, int lParam) {
        if (id == 99) {
            throw new IllegalStateException("message 99 refused");
        }
        OnUserCommand(id, wParam, lParam);
    }

    private static native void OnUserCommand(int id, int wParam, int lParam);
}
