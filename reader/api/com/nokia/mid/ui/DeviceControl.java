// Compile-time stub of the Nokia UI API (signatures only). Use it only from a
// class that is loaded after a run-time check found the Nokia UI API.
package com.nokia.mid.ui;

public class DeviceControl {
    DeviceControl() {}
    public static native void setLights(int num, int level);
    public static native void flashLights(long duration);
    public static native void startVibra(int freq, long duration);
    public static native void stopVibra();
}
