package javax.microedition.rms;

import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.File;
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.util.ArrayList;
import java.util.TreeMap;

/** Host implementation: each record store is one file in the host's folder,
 *  rewritten after every change, so a later run of the host sees it. */
public class RecordStore {
    /** The folder that holds the record stores of this run. */
    public static File folder = new File(System.getProperty("java.io.tmpdir"));
    /** The bytes a record store may hold (--rms-size), records counted with
     *  8 bytes each besides their data, as a phone's small store. */
    public static int capacity = 64 * 1024;

    private final String name;
    private final TreeMap<Integer, byte[]> records = new TreeMap<>();
    private int nextId = 1;
    private int version;
    private long modified;
    private int openCount;
    private final ArrayList<RecordListener> listeners = new ArrayList<>();
    private static final java.util.HashMap<String, RecordStore> open = new java.util.HashMap<>();

    private RecordStore(String name) {
        this.name = name;
    }

    private static File file(String name) {
        StringBuilder safe = new StringBuilder();
        for (char c : name.toCharArray()) safe.append(Character.isLetterOrDigit(c) ? String.valueOf(c) : "_" + (int) c);
        return new File(folder, safe + ".rms");
    }

    public static synchronized RecordStore openRecordStore(String recordStoreName, boolean createIfNecessary)
        throws RecordStoreException {
        if (recordStoreName == null || recordStoreName.isEmpty() || recordStoreName.length() > 32)
            throw new IllegalArgumentException("record store name");
        RecordStore rs = open.get(recordStoreName);
        if (rs == null) {
            rs = new RecordStore(recordStoreName);
            File f = file(recordStoreName);
            if (f.exists()) rs.load(f);
            else if (!createIfNecessary) throw new RecordStoreNotFoundException(recordStoreName);
            else rs.save();
            open.put(recordStoreName, rs);
        }
        rs.openCount++;
        return rs;
    }

    private void load(File f) throws RecordStoreException {
        try (DataInputStream in = new DataInputStream(new FileInputStream(f))) {
            nextId = in.readInt();
            version = in.readInt();
            modified = in.readLong();
            int n = in.readInt();
            for (int i = 0; i < n; i++) {
                int id = in.readInt();
                byte[] data = new byte[in.readInt()];
                in.readFully(data);
                records.put(id, data);
            }
        } catch (IOException e) {
            throw new RecordStoreException("damaged record store " + f + ": " + e);
        }
    }

    private void save() throws RecordStoreException {
        try (DataOutputStream out = new DataOutputStream(new FileOutputStream(file(name)))) {
            out.writeInt(nextId);
            out.writeInt(version);
            out.writeLong(modified);
            out.writeInt(records.size());
            for (var e : records.entrySet()) {
                out.writeInt(e.getKey());
                out.writeInt(e.getValue().length);
                out.write(e.getValue());
            }
        } catch (IOException e) {
            throw new RecordStoreException("cannot write record store: " + e);
        }
    }

    private void checkOpen() throws RecordStoreNotOpenException {
        if (openCount <= 0) throw new RecordStoreNotOpenException(name);
    }

    private void changed() throws RecordStoreException {
        version++;
        modified = System.currentTimeMillis();
        save();
    }

    public synchronized void closeRecordStore() throws RecordStoreException {
        checkOpen();
        if (--openCount == 0) open.remove(name);
    }

    public static synchronized void deleteRecordStore(String recordStoreName) throws RecordStoreException {
        RecordStore rs = open.get(recordStoreName);
        if (rs != null && rs.openCount > 0) throw new RecordStoreException("record store is open");
        if (!file(recordStoreName).delete()) throw new RecordStoreNotFoundException(recordStoreName);
    }

    public static String[] listRecordStores() {
        return null;
    }

    public String getName() throws RecordStoreNotOpenException { checkOpen(); return name; }
    public int getVersion() throws RecordStoreNotOpenException { checkOpen(); return version; }
    public int getNumRecords() throws RecordStoreNotOpenException { checkOpen(); return records.size(); }

    public int getSize() throws RecordStoreNotOpenException {
        checkOpen();
        int size = 0;
        for (byte[] r : records.values()) size += r.length + 8;
        return size;
    }

    public int getSizeAvailable() throws RecordStoreNotOpenException { checkOpen(); return capacity - getSize(); }
    public long getLastModified() throws RecordStoreNotOpenException { checkOpen(); return modified; }
    public void addRecordListener(RecordListener listener) { listeners.add(listener); }
    public void removeRecordListener(RecordListener listener) { listeners.remove(listener); }
    public int getNextRecordID() throws RecordStoreException { checkOpen(); return nextId; }

    public synchronized int addRecord(byte[] data, int offset, int numBytes) throws RecordStoreException {
        checkOpen();
        if (getSizeAvailable() < numBytes) throw new RecordStoreFullException();
        int id = nextId++;
        records.put(id, data == null ? new byte[0] : java.util.Arrays.copyOfRange(data, offset, offset + numBytes));
        changed();
        for (RecordListener l : listeners) l.recordAdded(this, id);
        return id;
    }

    private byte[] record(int id) throws RecordStoreException {
        checkOpen();
        byte[] r = records.get(id);
        if (r == null) throw new InvalidRecordIDException("record " + id);
        return r;
    }

    public synchronized void deleteRecord(int recordId) throws RecordStoreException {
        record(recordId);
        records.remove(recordId);
        changed();
        for (RecordListener l : listeners) l.recordDeleted(this, recordId);
    }

    public int getRecordSize(int recordId) throws RecordStoreException { return record(recordId).length; }

    public int getRecord(int recordId, byte[] buffer, int offset) throws RecordStoreException {
        byte[] r = record(recordId);
        System.arraycopy(r, 0, buffer, offset, r.length);
        return r.length;
    }

    public byte[] getRecord(int recordId) throws RecordStoreException {
        byte[] r = record(recordId);
        return r.length == 0 ? null : r.clone();
    }

    public synchronized void setRecord(int recordId, byte[] newData, int offset, int numBytes)
        throws RecordStoreException {
        if (getSizeAvailable() + record(recordId).length < numBytes) throw new RecordStoreFullException();
        records.put(recordId, newData == null ? new byte[0] : java.util.Arrays.copyOfRange(newData, offset, offset + numBytes));
        changed();
        for (RecordListener l : listeners) l.recordChanged(this, recordId);
    }

    public RecordEnumeration enumerateRecords(RecordFilter filter, RecordComparator comparator, boolean keepUpdated)
        throws RecordStoreNotOpenException {
        checkOpen();
        final ArrayList<Integer> ids = new ArrayList<>();
        for (var e : records.entrySet())
            if (filter == null || filter.matches(e.getValue())) ids.add(e.getKey());
        if (comparator != null) ids.sort((a, b) -> comparator.compare(records.get(a), records.get(b)));
        final RecordStore rs = this;
        return new RecordEnumeration() {
            int at = -1;

            public int numRecords() { return ids.size(); }
            public byte[] nextRecord() throws RecordStoreException { return rs.getRecord(nextRecordId()); }
            public int nextRecordId() throws InvalidRecordIDException {
                if (at + 1 >= ids.size()) throw new InvalidRecordIDException();
                return ids.get(++at);
            }
            public byte[] previousRecord() throws RecordStoreException { return rs.getRecord(previousRecordId()); }
            public int previousRecordId() throws InvalidRecordIDException {
                if (at <= 0) throw new InvalidRecordIDException();
                return ids.get(--at);
            }
            public boolean hasNextElement() { return at + 1 < ids.size(); }
            public boolean hasPreviousElement() { return at > 0; }
            public void reset() { at = -1; }
            public void rebuild() {}
            public void keepUpdated(boolean keep) {}
            public boolean isKeptUpdated() { return false; }
            public void destroy() {}
        };
    }
}
