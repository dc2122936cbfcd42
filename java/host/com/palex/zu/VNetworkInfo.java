package com.palex.zu;

/**
 * One network as {@link VDeviceAPI#getNetworkInfo} describes it. The native
 * library reads the three fields by name.
 */
public class VNetworkInfo {
    /** Name of the network type: "NONE", "WIFI", "MOBILE" or "ETHERNET". */
    public String typename;
    /** One of the VDeviceAPI.NETWORK_* values. */
    public int type;
    /** VDeviceAPI.STATE_CONNECTED or VDeviceAPI.STATE_DISCONNECTED. */
    public int state;

    public VNetworkInfo() {
    }

    public VNetworkInfo(String typename, int type, int state) {
        this.typename = typename;
        this.type = type;
        this.state = state;
    }
}
