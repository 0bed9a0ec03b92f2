package com.nokia.mid.ui;

/** The Nokia UI API's device control for the host's --nokia mode: light
 *  changes are reported on standard output; no vibra. */
public class DeviceControl {
    DeviceControl() {}

    public static void setLights(int num, int level) {
        if (num < 0 || level < 0 || level > 100) throw new IllegalArgumentException("lights " + num + " " + level);
        System.out.println("lights: " + num + " " + level);
    }

    public static void flashLights(long duration) {}

    public static void startVibra(int freq, long duration) {}

    public static void stopVibra() {}
}
