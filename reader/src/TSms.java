// Placeholder; grows with the reader.
public class TSms {
}
