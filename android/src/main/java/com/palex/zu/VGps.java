package com.palex.zu;

import android.Manifest;
import android.content.Context;
import android.location.Location;
import android.location.LocationListener;
import android.location.LocationManager;
import android.os.Bundle;
import android.os.Looper;
import android.util.Log;

/**
 * The position source behind the native GPS manager: the GPS provider's
 * updates, received on the main looper (the native caller may be a thread
 * without one) and handed to the native side through {@link #updateGps} as
 * latitude and longitude in degrees, accuracy in metres, speed in metres per
 * second, the bearing in whole degrees and the number of satellites used (0
 * when the provider does not say).
 */
public class VGps {
    private static final long INTERVAL_MS = 1000;

    /** Owned by the native side; it sets it to 0 before init and unInit. */
    public int mJniData;

    private LocationListener mListener;

    public VGps() {
    }

    /** Starts the updates; false without fine location or a GPS provider. */
    public synchronized boolean init() {
        if (mListener != null) {
            return true;
        }
        LocationManager lm = manager();
        if (lm == null || !VDeviceAPI.granted(Manifest.permission.ACCESS_FINE_LOCATION)) {
            return false;
        }
        LocationListener listener = new LocationListener() {
            @Override
            public void onLocationChanged(Location location) {
                report(location);
            }

            @Override
            public void onStatusChanged(String provider, int status, Bundle extras) {
            }

            @Override
            public void onProviderEnabled(String provider) {
            }

            @Override
            public void onProviderDisabled(String provider) {
            }
        };
        try {
            lm.requestLocationUpdates(LocationManager.GPS_PROVIDER, INTERVAL_MS, 0f, listener, Looper.getMainLooper());
        } catch (RuntimeException e) {
            Log.w(Vos.TAG, "no GPS updates: " + e);
            return false;
        }
        mListener = listener;
        return true;
    }

    /** Stops the updates; true also when none ran. */
    public synchronized boolean unInit() {
        LocationManager lm = manager();
        if (mListener != null && lm != null) {
            try {
                lm.removeUpdates(mListener);
            } catch (RuntimeException e) {
                // the updates are gone with the service
            }
        }
        mListener = null;
        return true;
    }

    private static LocationManager manager() {
        Context context = Vos.context();
        return context != null ? (LocationManager) context.getSystemService(Context.LOCATION_SERVICE) : null;
    }

    private void report(Location location) {
        synchronized (this) {
            if (mListener == null) {
                return;
            }
        }
        Bundle extras = location.getExtras();
        int satellites = extras != null ? extras.getInt("satellites", 0) : 0;
        updateGps(location.getLatitude(), location.getLongitude(), location.getAccuracy(), location.getSpeed(),
                Math.round(location.getBearing()), satellites);
    }

    private native void updateGps(double latitude, double longitude, float accuracy, float speed, int bearing,
            int satellites);
}
