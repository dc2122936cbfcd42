package com.palex.zu;

import static org.junit.Assert.assertTrue;
import static org.robolectric.Shadows.shadowOf;

import android.app.Application;
import android.os.Looper;

import org.junit.After;
import org.junit.Before;
import org.robolectric.RuntimeEnvironment;
import org.robolectric.shadows.ShadowApplication;
import org.robolectric.shadows.ShadowLog;

/**
 * Each test's fresh application brought up with Vos.init, as an app's
 * onCreate does, and taken down after it (the library's state outlives the
 * test, the application does not).
 */
public abstract class VosSandboxTest {
    protected Application app;
    protected ShadowApplication shadowApp;

    @Before
    public void bringVosUp() {
        ShadowLog.stream = System.out;  // the companion classes' warnings, in the test's output
        app = RuntimeEnvironment.getApplication();
        shadowApp = shadowOf(app);
        assertTrue(Vos.init(app));
    }

    @After
    public void takeVosDown() {
        Vos.shutdown();
    }

    /** Runs what waits in the main looper (Robolectric's is paused). */
    protected static void runMainLooper() {
        shadowOf(Looper.getMainLooper()).idle();
    }
}
