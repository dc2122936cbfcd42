package com.palex.zu;

import static org.junit.Assert.assertEquals;
import static org.robolectric.Shadows.shadowOf;

import android.Manifest;
import android.content.Context;
import android.content.Intent;
import android.net.ConnectivityManager;
import android.net.Uri;
import android.telephony.SmsManager;
import android.telephony.TelephonyManager;

import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;

import org.junit.Test;
import org.junit.runner.RunWith;
import org.robolectric.RobolectricTestRunner;
import org.robolectric.annotation.Config;

/**
 * The branches for API levels before 24 (26, 31), on SDK 23. Surefire runs
 * this class alone in a VM of its own (the "legacy-sdk" execution), so that
 * its sandbox is the only one that loads libvos.so there.
 */
@RunWith(RobolectricTestRunner.class)
@Config(sdk = 23)
public class LegacyApiTest extends VosSandboxTest {
    @Test
    public void networkChangeArrivesAsTheConnectivityBroadcast() {
        int before = NativeProbe.networkChanges();
        assertEquals(1, NativeProbe.setNetworkCallback());
        app.sendBroadcast(new Intent(ConnectivityManager.CONNECTIVITY_ACTION));
        runMainLooper();
        assertEquals(before + 1, NativeProbe.networkChanges());

        assertEquals(1, NativeProbe.unsetNetworkCallback());
        app.sendBroadcast(new Intent(ConnectivityManager.CONNECTIVITY_ACTION));
        runMainLooper();
        assertEquals(before + 1, NativeProbe.networkChanges());
    }

    @Test
    public void olderCallsForIdentifiersMessagesAndInstalls() throws IOException {
        shadowApp.grantPermissions(Manifest.permission.READ_PHONE_STATE, Manifest.permission.SEND_SMS);
        shadowOf((TelephonyManager) app.getSystemService(Context.TELEPHONY_SERVICE)).setDeviceId("490154203237518");
        assertEquals("490154203237518", NativeProbe.query(NativeProbe.IMEI));

        assertEquals(1, NativeProbe.action(NativeProbe.SMS, "555", "legacy", null, null));
        assertEquals("legacy", shadowOf(SmsManager.getDefault()).getLastSentTextMessageParams().getText());

        File apk = new File(app.getFilesDir(), "old.apk");
        try (FileOutputStream out = new FileOutputStream(apk)) {
            out.write(1);
        }
        assertEquals(1, NativeProbe.action(NativeProbe.SETUP_SOFTWARE, apk.getPath(), null, null, null));
        assertEquals(Uri.fromFile(apk), shadowApp.getNextStartedActivity().getData());
    }
}
