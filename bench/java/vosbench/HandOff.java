package vosbench;

import java.util.concurrent.LinkedBlockingQueue;

/**
 * The floor of a posted message's round trip in plain Java: one thread puts
 * a message into the same kind of queue the message bus's looper serves,
 * a second thread takes it and hands it back through a volatile field, which
 * the first one watches, as the native poster watches its observer.
 */
public final class HandOff {
    private static volatile int arrived;

    private HandOff() {
    }

    /** Makes count round trips and gives the time of each in nanoseconds. */
    public static long[] run(int count) throws InterruptedException {
        final LinkedBlockingQueue<int[]> queue = new LinkedBlockingQueue<>();
        final Thread looper = new Thread(() -> {
            for (;;) {
                int[] msg;
                try {
                    msg = queue.take();
                } catch (InterruptedException e) {
                    return;
                }
                if (msg[0] < 0) return;
                arrived = msg[1];
            }
        }, "vosbench-handoff");
        looper.setDaemon(true);
        looper.start();
        final long[] nanos = new long[count];
        for (int i = 0; i < count; ++i) {
            final int seq = i + 1;
            final long start = System.nanoTime();
            queue.add(new int[] {201, seq, 0});
            while (arrived != seq) {
                Thread.onSpinWait();
            }
            nanos[i] = System.nanoTime() - start;
        }
        queue.add(new int[] {-1, 0, 0});
        looper.join();
        arrived = 0;
        return nanos;
    }
}
