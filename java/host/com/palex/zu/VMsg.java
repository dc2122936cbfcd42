package com.palex.zu;

import java.util.concurrent.LinkedBlockingQueue;

/**
 * The Java half of the native message bus. Native code posts a message with
 * {@link #postMessage}; the message is handed back to native code through
 * {@link #OnUserCommand} on one looper thread, in the order of posting, the
 * way a device's main loop hands back the messages queued to it.
 *
 * The looper is started with the class and runs as a daemon thread, so it
 * never keeps the process alive. The native methods are bound by the VM
 * from the exported symbols of libvos.so, which this class loads itself.
 */
public final class VMsg {
    static {
        System.loadLibrary("vos");
    }

    private static final LinkedBlockingQueue<int[]> QUEUE = new LinkedBlockingQueue<>();
    private static final Thread LOOPER = new Thread(VMsg::loop, "vos-msg-looper");

    static {
        LOOPER.setDaemon(true);
        LOOPER.start();
    }

    private VMsg() {
    }

    /** Queues the triple for the looper; returns at once. */
    public static void postMessage(int id, int wParam, int lParam) {
        QUEUE.add(new int[] {id, wParam, lParam});
    }

    private static void loop() {
        for (;;) {
            int[] msg;
            try {
                msg = QUEUE.take();
            } catch (InterruptedException e) {
                // Nothing interrupts the looper on purpose; keep serving.
                continue;
            }
            try {
                OnUserCommand(msg[0], msg[1], msg[2]);
            } catch (Throwable t) {
                // An error raised under one message must not stop the
                // delivery of the following ones.
                t.printStackTrace();
            }
        }
    }

    private static native void OnUserCommand(int id, int wParam, int lParam);
}
