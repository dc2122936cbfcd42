package com.palex.zu;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertNotNull;
import static org.junit.Assert.assertNull;
import static org.junit.Assert.assertTrue;
import static org.robolectric.Shadows.shadowOf;

import android.Manifest;
import android.app.Activity;
import android.app.ActivityManager;
import android.content.Context;
import android.content.Intent;
import android.content.pm.PackageManager;
import android.hardware.Sensor;
import android.hardware.SensorManager;
import android.location.Location;
import android.location.LocationManager;
import android.net.ConnectivityManager;
import android.net.Network;
import android.net.NetworkCapabilities;
import android.net.NetworkInfo;
import android.net.Uri;
import android.net.wifi.ScanResult;
import android.os.Bundle;
import android.provider.Settings;
import android.telephony.SmsManager;
import android.telephony.TelephonyManager;
import android.telephony.gsm.GsmCellLocation;
import android.view.WindowManager;

import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

import org.junit.Test;
import org.junit.runner.RunWith;
import org.robolectric.Robolectric;
import org.robolectric.RobolectricTestRunner;
import org.robolectric.RuntimeEnvironment;
import org.robolectric.shadows.SensorEventBuilder;
import org.robolectric.shadows.ShadowBuild;
import org.robolectric.shadows.ShadowNetworkCapabilities;
import org.robolectric.shadows.ShadowNetworkInfo;
import org.robolectric.shadows.ShadowSensor;
import org.robolectric.shadows.ShadowSmsManager;
import org.robolectric.shadows.ShadowStatFs;

/**
 * The companion classes on Android's own classes, driven from libvos.so:
 * each case sets a value through Robolectric's shadows, calls the library's
 * operation through the tests' JNI library, and expects exactly that value
 * back (or the action where Android records it).
 */
@RunWith(RobolectricTestRunner.class)
public class VosAndroidTest extends VosSandboxTest {
    private File file(String name) throws IOException {
        File file = new File(app.getFilesDir(), name);
        try (FileOutputStream out = new FileOutputStream(file)) {
            out.write(new byte[] {1, 2, 3});
        }
        return file;
    }

    @Test
    public void storageMemoryOsAndApplicationFigures() throws IOException {
        ShadowStatFs.registerStats(app.getFilesDir(), 1000, 300, 250);
        ActivityManager.MemoryInfo memory = new ActivityManager.MemoryInfo();
        memory.totalMem = 3L << 30;
        memory.availMem = 5L << 20;
        shadowOf((ActivityManager) app.getSystemService(Context.ACTIVITY_SERVICE)).setMemoryInfo(memory);
        ShadowBuild.setVersionRelease("14.2-probe");
        shadowOf(app.getPackageManager()).getInternalMutablePackageInfo(app.getPackageName()).versionName = "7.3.1-probe";

        long blockKb = 4096 / 1024;  // the shadow's block size
        assertArrayEquals(new long[] {1, 1000 * blockKb, 250 * blockKb}, NativeProbe.figures(NativeProbe.SPACE));
        assertArrayEquals(new long[] {1, 3L << 20, 5L << 10}, NativeProbe.figures(NativeProbe.MEMORY));
        assertEquals("14.2-probe", NativeProbe.query(NativeProbe.OS_VERSION));
        assertEquals("7.3.1-probe", NativeProbe.query(NativeProbe.APP_VERSION));
        assertEquals(app.getCacheDir().getPath(), NativeProbe.query(NativeProbe.CACHE_PATH));
        assertEquals(app.getExternalFilesDir(null).getPath(), NativeProbe.query(NativeProbe.SDCARD_PATH));
        String module = NativeProbe.query(NativeProbe.MODULE_FILE_NAME);
        assertNotNull(module);
        assertTrue(module, module.contains("/libvos.so"));

        // Threads that Java never called into reach the sandbox's classes
        // through the library's class cache: only they know the shadowed values.
        assertEquals("7.3.1-probe", NativeProbe.queryOnNativeThread(NativeProbe.APP_VERSION));
        assertEquals("14.2-probe", NativeProbe.queryOnTimer(NativeProbe.OS_VERSION));

        File apk = file("update.apk");
        assertEquals(1, NativeProbe.action(NativeProbe.SETUP_SOFTWARE, apk.getPath(), null, null, null));
        Intent install = shadowApp.getNextStartedActivity();
        assertEquals(Intent.ACTION_VIEW, install.getAction());
        assertEquals("application/vnd.android.package-archive", install.getType());
        assertEquals(app.getPackageName() + ".vos.files", install.getData().getAuthority());
        assertEquals(apk, VFileProvider.lookup(install.getData()));
        assertTrue((install.getFlags() & Intent.FLAG_GRANT_READ_URI_PERMISSION) != 0);
    }

    private Network activeWifi() {
        ConnectivityManager cm = (ConnectivityManager) app.getSystemService(Context.CONNECTIVITY_SERVICE);
        shadowOf(cm).setActiveNetworkInfo(ShadowNetworkInfo.newInstance(NetworkInfo.DetailedState.CONNECTED,
                ConnectivityManager.TYPE_WIFI, 0, true, NetworkInfo.State.CONNECTED));
        Network network = cm.getActiveNetwork();
        NetworkCapabilities caps = ShadowNetworkCapabilities.newInstance();
        shadowOf(caps).addTransportType(NetworkCapabilities.TRANSPORT_WIFI);
        shadowOf(cm).setNetworkCapabilities(network, caps);
        return network;
    }

    @Test
    public void networkQueries() {
        activeWifi();
        assertEquals(VDeviceAPI.NETWORK_WIFI, NativeProbe.networkType());
        assertEquals(1, NativeProbe.wifiConnected());
        assertEquals("WIFI/1/1", NativeProbe.networkInfo(VDeviceAPI.NETWORK_WIFI));
        assertEquals("MOBILE/2/0", NativeProbe.networkInfo(VDeviceAPI.NETWORK_MOBILE));
        assertNull(NativeProbe.networkInfo(99));

    }

    @Test
    public void scanResultsReachTheLibraryFieldByField() {
        List<ScanResult> scan = new ArrayList<>();
        for (String[] spot : new String[][] {{"home", "02:00:00:00:00:01", "[WPA2-PSK-CCMP][ESS]", "2412", "-40"},
                {"caf\u00e9 \u4e2d", "02:00:00:00:00:02", "[ESS]", "5180", "-71"}}) {
            ScanResult result = new ScanResult();
            result.SSID = spot[0];
            result.BSSID = spot[1];
            result.capabilities = spot[2];
            result.frequency = Integer.parseInt(spot[3]);
            result.level = Integer.parseInt(spot[4]);
            scan.add(result);
        }
        WifiScanShadow.results = scan;
        assertEquals(Arrays.asList("home|02:00:00:00:00:01|[WPA2-PSK-CCMP][ESS]|2412|-40",
                "caf\u00e9 \u4e2d|02:00:00:00:00:02|[ESS]|5180|-71"), Arrays.asList(NativeProbe.wifiHotpots()));
    }

    @Test
    public void networkChangeOnTheConnectivityThreadRunsTheNativeCallback() throws InterruptedException {
        Network wifi = activeWifi();
        ConnectivityManager cm = (ConnectivityManager) app.getSystemService(Context.CONNECTIVITY_SERVICE);
        int before = NativeProbe.networkChanges();
        assertEquals(1, NativeProbe.setNetworkCallback());
        assertEquals(1, shadowOf(cm).getNetworkCallbacks().size());
        final ConnectivityManager.NetworkCallback callback = shadowOf(cm).getNetworkCallbacks().iterator().next();

        // The connectivity service calls back on a thread of its own; the
        // report at registration names the network already known: no change.
        callOn(callback, wifi, true);
        assertEquals(before, NativeProbe.networkChanges());
        callOn(callback, wifi, false);
        assertEquals(before + 1, NativeProbe.networkChanges());

        assertEquals(1, NativeProbe.unsetNetworkCallback());
        assertTrue(shadowOf(cm).getNetworkCallbacks().isEmpty());
        callOn(callback, wifi, true);  // late, after unregistering
        assertEquals(before + 1, NativeProbe.networkChanges());
    }

    private static void callOn(final ConnectivityManager.NetworkCallback callback, final Network network,
            final boolean available) throws InterruptedException {
        Thread connectivity = new Thread(new Runnable() {
            @Override
            public void run() {
                if (available) {
                    callback.onAvailable(network);
                } else {
                    callback.onLost(network);
                }
            }
        }, "ConnectivityThread");
        connectivity.start();
        connectivity.join();
    }

    @Test
    public void screenFiguresBrightnessAndKeepScreenOn() {
        RuntimeEnvironment.setQualifiers("w360dp-h640dp-xhdpi");
        assertArrayEquals(new long[] {1, 720, 1280}, NativeProbe.figures(NativeProbe.METRICS));
        assertEquals(2.0f, NativeProbe.density(), 0f);
        Settings.System.putInt(app.getContentResolver(), Settings.System.SCREEN_BRIGHTNESS, 77);
        assertEquals(77, NativeProbe.brightness());

        Activity activity = Robolectric.buildActivity(Activity.class).setup().get();
        assertArrayEquals(new long[] {1, 720, 1280}, NativeProbe.figures(NativeProbe.METRICS));  // its window
        int keepOn = WindowManager.LayoutParams.FLAG_KEEP_SCREEN_ON;
        assertEquals(1, NativeProbe.setScreenOn(1));
        assertEquals(keepOn, activity.getWindow().getAttributes().flags & keepOn);
        assertEquals(1, NativeProbe.setScreenOn(0));
        assertEquals(0, activity.getWindow().getAttributes().flags & keepOn);
    }

    @Test
    public void telephonyActionsAndIdentifiers() throws IOException {
        assertEquals(1, NativeProbe.action(NativeProbe.CALL, "+4930123", null, null, null));
        Intent dial = shadowApp.getNextStartedActivity();
        assertEquals(Intent.ACTION_DIAL, dial.getAction());
        assertEquals(Uri.parse("tel:%2B4930123"), dial.getData());
        assertTrue((dial.getFlags() & Intent.FLAG_ACTIVITY_NEW_TASK) != 0);

        assertEquals(1, NativeProbe.action(NativeProbe.SMS, "555", "hello", null, null));
        Intent smsto = shadowApp.getNextStartedActivity();
        assertEquals(Intent.ACTION_SENDTO, smsto.getAction());
        assertEquals("smsto:555", smsto.getData().toString());
        assertEquals("hello", smsto.getStringExtra("sms_body"));
        shadowApp.grantPermissions(Manifest.permission.SEND_SMS, Manifest.permission.CALL_PHONE);
        shadowOf(app.getPackageManager()).setSystemFeature(PackageManager.FEATURE_TELEPHONY_MESSAGING, true);
        assertEquals(1, NativeProbe.action(NativeProbe.SMS, "555", "sent", null, null));
        ShadowSmsManager.TextSmsParams sent = shadowOf(app.getSystemService(SmsManager.class)).getLastSentTextMessageParams();
        assertEquals("555", sent.getDestinationAddress());
        assertEquals("sent", sent.getText());
        assertEquals(1, NativeProbe.action(NativeProbe.CALL, "112", null, null, null));
        assertEquals(Intent.ACTION_CALL, shadowApp.getNextStartedActivity().getAction());

        File picture = file("picture.jpg");
        assertEquals(1, NativeProbe.action(NativeProbe.MMS, "555", "subject", "look", picture.getPath()));
        Intent mms = shadowApp.getNextStartedActivity();
        assertEquals(Intent.ACTION_SEND, mms.getAction());
        assertEquals("image/jpeg", mms.getType());
        assertEquals(picture, VFileProvider.lookup((Uri) mms.getParcelableExtra(Intent.EXTRA_STREAM)));
        assertEquals("555", mms.getStringExtra("address"));

        assertEquals(1, NativeProbe.action(NativeProbe.OPEN_URL, "https://example.org/a?b=c", null, null, null));
        assertEquals(Uri.parse("https://example.org/a?b=c"), shadowApp.getNextStartedActivity().getData());
        shadowApp.checkActivities(true);  // now no activity handles anything
        assertEquals(0, NativeProbe.action(NativeProbe.OPEN_URL, "https://example.org/", null, null, null));
        assertEquals(0, NativeProbe.action(NativeProbe.MMS, "555", "subject", "look", picture.getPath()));

        TelephonyManager tm = (TelephonyManager) app.getSystemService(Context.TELEPHONY_SERVICE);
        GsmCellLocation cell = new GsmCellLocation();
        cell.setLacAndCid(4321, 98765);
        shadowOf(tm).setCellLocation(cell);
        shadowOf(tm).setImei("356938035643809");
        shadowOf(tm).setSubscriberId("310260000000001");
        assertNull(NativeProbe.query(NativeProbe.CELL_ID));  // no location permission
        assertNull(NativeProbe.query(NativeProbe.IMEI));  // no phone permission
        shadowApp.grantPermissions(Manifest.permission.ACCESS_FINE_LOCATION, Manifest.permission.READ_PHONE_STATE);
        assertEquals("98765", NativeProbe.query(NativeProbe.CELL_ID));
        assertEquals("4321", NativeProbe.query(NativeProbe.LAC));
        assertEquals("356938035643809", NativeProbe.query(NativeProbe.IMEI));
        assertEquals("310260000000001", NativeProbe.query(NativeProbe.IMSI));
    }

    @Test
    public void gpsFixesReachTheManager() {
        assertEquals(0, NativeProbe.gps(0));  // no fine location
        NativeProbe.gps(1);
        shadowApp.grantPermissions(Manifest.permission.ACCESS_FINE_LOCATION);
        assertEquals(1, NativeProbe.gps(0));

        Location fix = new Location(LocationManager.GPS_PROVIDER);
        fix.setLatitude(48.8584);
        fix.setLongitude(2.2945);
        fix.setAccuracy(4.5f);
        fix.setSpeed(3.25f);
        fix.setBearing(90f);
        Bundle extras = new Bundle();
        extras.putInt("satellites", 7);
        fix.setExtras(extras);
        fix.setTime(System.currentTimeMillis());
        shadowOf((LocationManager) app.getSystemService(Context.LOCATION_SERVICE)).simulateLocation(fix);
        runMainLooper();
        assertArrayEquals(new double[] {1, 48.8584f, 2.2945f, 4.5f, 3.25f, 7}, NativeProbe.lastFix(), 0);
        assertEquals(1, NativeProbe.gps(1));
    }

    @Test
    public void compassHeadingReachesTheLibrary() {
        SensorManager sm = (SensorManager) app.getSystemService(Context.SENSOR_SERVICE);
        Sensor rotation = ShadowSensor.newInstance(Sensor.TYPE_ROTATION_VECTOR);
        shadowOf(sm).addSensor(rotation);
        assertEquals(1, NativeProbe.compass(0));
        assertArrayEquals(new int[] {0, 0, 0}, NativeProbe.compassReading());

        // The device turned 90 degrees clockwise about the vertical: its top
        // edge points east.
        float half = (float) Math.toRadians(-45);
        shadowOf(sm).sendSensorEventToListeners(SensorEventBuilder.newBuilder()
                .setSensor(rotation)
                .setValues(new float[] {0, 0, (float) Math.sin(half), (float) Math.cos(half)})
                .build());
        runMainLooper();
        int[] reading = NativeProbe.compassReading();
        assertEquals(1, reading[0]);
        assertEquals(90, reading[1]);
        assertEquals(1, NativeProbe.compass(1));
        assertTrue(shadowOf(sm).getListeners().isEmpty());
    }

    @Test
    public void messagePostedFromANativeThreadComesBackOnTheMainThread() {
        assertEquals(1, NativeProbe.attachObserver(4242));
        try {
            assertEquals(1, NativeProbe.postFromNativeThread(4242, 0x80000001, -7));
            assertEquals(0, NativeProbe.delivered()[0]);  // waits in the main looper
            runMainLooper();
            assertArrayEquals(new int[] {1, 4242, 0x80000001, -7, 1}, NativeProbe.delivered());
        } finally {
            NativeProbe.detachObserver(4242);
        }
    }
}
