package com.palex.zu;

import android.net.wifi.ScanResult;
import android.net.wifi.WifiManager;

import java.util.List;

import org.robolectric.annotation.Implementation;
import org.robolectric.annotation.Implements;

/**
 * The Wi-Fi service's scan results as a test sets them. Robolectric 4.17's
 * own shadow of WifiManager declares methods with a class that SDK 36 added
 * (android.net.wifi.BlockingOption), so on SDK 34 loading it fails and takes
 * WifiManager with it; robolectric.properties puts this one in its place.
 */
@Implements(WifiManager.class)
public class WifiScanShadow {
    static List<ScanResult> results;

    @Implementation
    protected List<ScanResult> getScanResults() {
        return results;
    }
}
