package com.palex.zu;

import android.app.Activity;
import android.content.Context;
import android.hardware.Sensor;
import android.hardware.SensorEvent;
import android.hardware.SensorEventListener;
import android.hardware.SensorManager;
import android.os.Handler;
import android.os.Looper;
import android.util.Log;
import android.view.Display;
import android.view.Surface;
import android.view.WindowManager;

/**
 * The compass behind the native CVCompass: the rotation-vector sensor,
 * received on the main looper, remapped for the display's rotation, and
 * handed to the native side through {@link #updateCompass} as the heading of
 * the screen's top edge in whole degrees from magnetic north, 0 to 359. A
 * device without the sensor reports nothing.
 */
public class VCompass {
    /** Owned by the native side; it sets it to 0 before init and unInit. */
    public int mJniData;

    private SensorEventListener mListener;
    private final float[] mMatrix = new float[9];
    private final float[] mRemapped = new float[9];
    private final float[] mOrientation = new float[3];

    public VCompass() {
    }

    public synchronized void init() {
        if (mListener != null) {
            return;
        }
        SensorManager sm = manager();
        Sensor sensor = sm != null ? sm.getDefaultSensor(Sensor.TYPE_ROTATION_VECTOR) : null;
        if (sensor == null) {
            Log.w(Vos.TAG, "no rotation-vector sensor: no compass readings");
            return;
        }
        SensorEventListener listener = new SensorEventListener() {
            @Override
            public void onSensorChanged(SensorEvent event) {
                report(event.values);
            }

            @Override
            public void onAccuracyChanged(Sensor s, int accuracy) {
            }
        };
        if (sm.registerListener(listener, sensor, SensorManager.SENSOR_DELAY_UI, new Handler(Looper.getMainLooper()))) {
            mListener = listener;
        }
    }

    public synchronized void unInit() {
        SensorManager sm = manager();
        if (mListener != null && sm != null) {
            sm.unregisterListener(mListener);
        }
        mListener = null;
    }

    private static SensorManager manager() {
        Context context = Vos.context();
        return context != null ? (SensorManager) context.getSystemService(Context.SENSOR_SERVICE) : null;
    }

    @SuppressWarnings("deprecation")
    private static int displayRotation() {
        Activity activity = Vos.currentActivity();
        Context context = Vos.context();
        try {
            Display display = activity != null ? activity.getWindowManager().getDefaultDisplay()
                    : context != null ? ((WindowManager) context.getSystemService(Context.WINDOW_SERVICE)).getDefaultDisplay()
                    : null;
            return display != null ? display.getRotation() : Surface.ROTATION_0;
        } catch (RuntimeException e) {
            return Surface.ROTATION_0;
        }
    }

    private void report(float[] rotationVector) {
        int heading;
        synchronized (this) {
            if (mListener == null) {
                return;
            }
            SensorManager.getRotationMatrixFromVector(mMatrix, rotationVector);
            int x = SensorManager.AXIS_X;
            int y = SensorManager.AXIS_Y;
            switch (displayRotation()) {
                case Surface.ROTATION_90:
                    x = SensorManager.AXIS_Y;
                    y = SensorManager.AXIS_MINUS_X;
                    break;
                case Surface.ROTATION_180:
                    x = SensorManager.AXIS_MINUS_X;
                    y = SensorManager.AXIS_MINUS_Y;
                    break;
                case Surface.ROTATION_270:
                    x = SensorManager.AXIS_MINUS_Y;
                    y = SensorManager.AXIS_X;
                    break;
                default:
                    break;
            }
            SensorManager.remapCoordinateSystem(mMatrix, x, y, mRemapped);
            SensorManager.getOrientation(mRemapped, mOrientation);
            heading = ((int) Math.round(Math.toDegrees(mOrientation[0])) % 360 + 360) % 360;
        }
        updateCompass(heading);
    }

    private native void updateCompass(int heading);
}
