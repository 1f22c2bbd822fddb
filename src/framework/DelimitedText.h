#pragma once

#include "base/FileDialogs.h"
#include "base/MessageService.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zendrel {

class DataStore;

// The comma-separated text engine of import and export: one file read or written a line and a field at a
// time, values converted through pictures, file errors shown as "Error #" number " - " text under a title
// naming the operation and the path. One transfer at a time: the program holds at most one engine.
//
// Files are written in UTF-8 without a byte-order mark, lines ending in CR LF. They are read in UTF-8, with
// or without a byte-order mark, or as Windows-1252 when they are not valid UTF-8; any line end (CR LF, LF,
// CR) ends a line, except inside a quoted field, which may span lines. Values and lines of any length pass
// whole.
class DelimitedText {
public:
    // NextField's results.
    enum Field { NoField = 0, Quoted = 1, Unquoted = 2 };

    // The engine, or nothing while another transfer holds it.
    static std::unique_ptr<DelimitedText> claim(MessageService& messages, FileDialogs* dialogs = nullptr,
                                                const DataStore* store = nullptr);
    // "That file is empty!  Please pick another file.", titled "Attention!".
    static Message emptyFileMessage();
    // Whether a transfer holds the engine now.
    static bool busy();
    ~DelimitedText();
    DelimitedText(const DelimitedText&) = delete;
    DelimitedText& operator=(const DelimitedText&) = delete;

    // OpenImportFile: the file's size in bytes, or 0 when nothing was opened. An empty path asks with the
    // open dialog, again after a file that is empty or cannot be opened; a path given is opened as it is,
    // and an empty file then gives 0 without a message. The store's own files are never opened.
    int64_t openImportFile(const QString& path);
    // CreateExportFile: an empty path asks with the save dialog; false when cancelled or refused. The file
    // is created or emptied with mode 0600: it holds passwords in clear.
    bool createExportFile(const QString& path);
    // Writes to standard output instead of a file (the command line's "-").
    void useStandardOutput();

    // Back to the start of the import file.
    void rewind(bool quickScan = true);
    // ReadLine: the next line (a quoted field may take several lines of the file); the bytes it took, 0 at
    // the end of the file or on a read error.
    int64_t readLine();
    // NextField: the next field of the line into the value; NoField when the line holds no more fields.
    Field nextField();
    // ApplyPicture: converts the value just read by a picture other than text or number into the number it
    // stands for (as decimal text); once per value.
    void applyPicture(const QString& picture);
    const QString& value() const { return m_value; }
    const QString& line() const { return m_line; }

    // StartLine, WriteField, WriteLine: a line built field by field. In field-name mode a text holding "["
    // has its commas and "[" made "_" and its "]" made blanks.
    void startLine();
    void writeField(const QString& value, const QString& picture, bool fieldName = false);
    bool writeLine();
    // CloseFile: writes what is pending and closes; false when that failed.
    bool closeFile();

    QString path() const { return m_path; }
    int64_t size() const { return m_size; }
    // Bytes of the import file read so far.
    int64_t position() const { return m_consumed; }
    // Lines that have reached the export file whole.
    int64_t linesWritten() const { return m_linesWritten; }

private:
    DelimitedText(MessageService& messages, FileDialogs* dialogs, const DataStore* store);
    struct Failure {
        int code;
        QString text;
    };
    void showFailure(const QString& title, const Failure& f);
    int64_t open(const QString& path, bool asked, bool* retry);
    bool fillBuffer();
    bool flush();
    void closeDescriptor();

    MessageService& m_messages;
    FileDialogs* m_dialogs;
    const DataStore* m_store;
    QString m_path;
    int m_fd = -1;
    bool m_writing = false;
    bool m_ownsFd = true;
    int64_t m_size = 0;

    // Reading.
    bool m_windows1252 = false;
    std::vector<char> m_buffer;
    size_t m_bufferAt = 0;
    size_t m_bufferEnd = 0;
    bool m_eof = false;
    int64_t m_consumed = 0;
    std::string m_raw;
    QString m_line;
    qsizetype m_cursor = -1;  // -1: the line holds no more fields
    QString m_value;
    bool m_pictureApplied = false;

    // Writing.
    bool m_firstField = true;
    std::string m_out;
    int64_t m_pendingLines = 0;
    int64_t m_linesWritten = 0;
};

} // namespace zendrel
