package com.nokia.mid.ui;

/** The Nokia UI API's device control for the host's --nokia mode: no lights or vibra. */
public class DeviceControl {
    DeviceControl() {}

    public static void setLights(int num, int level) {}

    public static void flashLights(long duration) {}

    public static void startVibra(int freq, long duration) {}

    public static void stopVibra() {}
}
