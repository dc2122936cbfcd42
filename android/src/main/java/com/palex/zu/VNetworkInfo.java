package com.palex.zu;

/**
 * One network as {@link VDeviceAPI#getNetworkInfo} describes it; the native
 * library reads the three fields by name.
 */
public class VNetworkInfo {
    /** "NONE", "WIFI", "MOBILE", "ETHERNET" or "OTHER". */
    public String typename;
    /** One of the {@code VDeviceAPI.NETWORK_*} values. */
    public int type;
    /** {@link VDeviceAPI#STATE_CONNECTED} or {@link VDeviceAPI#STATE_DISCONNECTED}. */
    public int state;

    public VNetworkInfo() {
    }

    public VNetworkInfo(String typename, int type, int state) {
        this.typename = typename;
        this.type = type;
        this.state = state;
    }
}
