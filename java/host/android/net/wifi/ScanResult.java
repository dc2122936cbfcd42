package android.net.wifi;

/**
 * Host stand-in for the device's Wi-Fi scan result: the same public fields,
 * which the native library reads by name. A host never produces one from a
 * scan; tests and examples fill them in themselves.
 */
public class ScanResult {
    /** Network name. */
    public String SSID;
    /** Access point address, "xx:xx:xx:xx:xx:xx". */
    public String BSSID;
    /** Authentication, key management and encryption schemes. */
    public String capabilities;
    /** Channel frequency in MHz. */
    public int frequency;
    /** Signal level in dBm. */
    public int level;

    public ScanResult() {
    }

    public ScanResult(String ssid, String bssid, String capabilities, int frequency, int level) {
        this.SSID = ssid;
        this.BSSID = bssid;
        this.capabilities = capabilities;
        this.frequency = frequency;
        this.level = level;
    }
}
