package vosbench;

/** The peer of a posted message's round trip: Java calls straight back. */
public final class BareRoundTrip {
    private BareRoundTrip() {
    }

    public static void call(int id, int wParam, int lParam) {
        back(id, wParam, lParam);
    }

    private static native void back(int id, int wParam, int lParam);
}
