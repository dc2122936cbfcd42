package com.palex.zu;

import android.content.ContentProvider;
import android.content.ContentValues;
import android.content.Context;
import android.database.Cursor;
import android.database.MatrixCursor;
import android.net.Uri;
import android.os.ParcelFileDescriptor;
import android.provider.OpenableColumns;
import android.webkit.MimeTypeMap;

import java.io.File;
import java.io.FileNotFoundException;
import java.util.HashMap;
import java.util.Map;
import java.util.UUID;

/**
 * Serves, read-only, the files vos hands to other apps (a package to install,
 * an MMS attachment). The provider is not exported: another app reads a file
 * only through the read grant of the intent that carries its URI, and only
 * files shared through {@link #share} in this process are served. Its
 * authority is the application id followed by ".vos.files".
 */
public class VFileProvider extends ContentProvider {
    private static final Map<String, File> SHARED = new HashMap<>();

    static String authority(Context context) {
        return context.getPackageName() + ".vos.files";
    }

    /** A content URI for the file, valid in this process until it ends. */
    static Uri share(Context context, File file) {
        String token = UUID.randomUUID().toString();
        synchronized (SHARED) {
            SHARED.put(token, file);
        }
        return new Uri.Builder().scheme("content").authority(authority(context)).appendPath(token)
                .appendPath(file.getName()).build();
    }

    static File lookup(Uri uri) {
        if (uri.getPathSegments().isEmpty()) {
            return null;
        }
        synchronized (SHARED) {
            return SHARED.get(uri.getPathSegments().get(0));
        }
    }

    static String mimeType(String name) {
        int dot = name.lastIndexOf('.');
        String type = dot < 0 ? null
                : MimeTypeMap.getSingleton().getMimeTypeFromExtension(name.substring(dot + 1).toLowerCase());
        if (type == null && name.endsWith(".apk")) {
            type = "application/vnd.android.package-archive";
        }
        return type != null ? type : "application/octet-stream";
    }

    @Override
    public boolean onCreate() {
        return true;
    }

    @Override
    public ParcelFileDescriptor openFile(Uri uri, String mode) throws FileNotFoundException {
        File file = lookup(uri);
        if (file == null || !"r".equals(mode)) {
            throw new FileNotFoundException(uri.toString());
        }
        return ParcelFileDescriptor.open(file, ParcelFileDescriptor.MODE_READ_ONLY);
    }

    @Override
    public String getType(Uri uri) {
        File file = lookup(uri);
        return file != null ? mimeType(file.getName()) : null;
    }

    @Override
    public Cursor query(Uri uri, String[] projection, String selection, String[] args, String order) {
        File file = lookup(uri);
        if (file == null) {
            return null;
        }
        MatrixCursor cursor = new MatrixCursor(new String[] {OpenableColumns.DISPLAY_NAME, OpenableColumns.SIZE});
        cursor.addRow(new Object[] {file.getName(), file.length()});
        return cursor;
    }

    @Override
    public Uri insert(Uri uri, ContentValues values) {
        return null;
    }

    @Override
    public int update(Uri uri, ContentValues values, String selection, String[] args) {
        return 0;
    }

    @Override
    public int delete(Uri uri, String selection, String[] args) {
        return 0;
    }
}
