// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public final class String {
    public String() {}
    public String(java.lang.String a0) {}
    public String(char[] a0) {}
    public String(char[] a0, int a1, int a2) {}
    public String(byte[] a0, int a1, int a2, java.lang.String a3) throws java.io.UnsupportedEncodingException {}
    public String(byte[] a0, java.lang.String a1) throws java.io.UnsupportedEncodingException {}
    public String(byte[] a0, int a1, int a2) {}
    public String(byte[] a0) {}
    public String(java.lang.StringBuffer a0) {}
    public int length() { return 0; }
    public char charAt(int a0) { return 0; }
    public void getChars(int a0, int a1, char[] a2, int a3) { }
    public byte[] getBytes(java.lang.String a0) throws java.io.UnsupportedEncodingException { return null; }
    public byte[] getBytes() { return null; }
    public boolean equals(java.lang.Object a0) { return false; }
    public int compareTo(java.lang.String a0) { return 0; }
    public boolean regionMatches(boolean a0, int a1, java.lang.String a2, int a3, int a4) { return false; }
    public boolean startsWith(java.lang.String a0, int a1) { return false; }
    public boolean startsWith(java.lang.String a0) { return false; }
    public boolean endsWith(java.lang.String a0) { return false; }
    public int hashCode() { return 0; }
    public int indexOf(int a0) { return 0; }
    public int indexOf(int a0, int a1) { return 0; }
    public int lastIndexOf(int a0) { return 0; }
    public int lastIndexOf(int a0, int a1) { return 0; }
    public int indexOf(java.lang.String a0) { return 0; }
    public int indexOf(java.lang.String a0, int a1) { return 0; }
    public java.lang.String substring(int a0) { return null; }
    public java.lang.String substring(int a0, int a1) { return null; }
    public java.lang.String concat(java.lang.String a0) { return null; }
    public java.lang.String replace(char a0, char a1) { return null; }
    public java.lang.String toLowerCase() { return null; }
    public java.lang.String toUpperCase() { return null; }
    public java.lang.String trim() { return null; }
    public java.lang.String toString() { return null; }
    public char[] toCharArray() { return null; }
    public static java.lang.String valueOf(java.lang.Object a0) { return null; }
    public static java.lang.String valueOf(char[] a0) { return null; }
    public static java.lang.String valueOf(char[] a0, int a1, int a2) { return null; }
    public static java.lang.String valueOf(boolean a0) { return null; }
    public static java.lang.String valueOf(char a0) { return null; }
    public static java.lang.String valueOf(int a0) { return null; }
    public static java.lang.String valueOf(long a0) { return null; }
}
