#include "JetBackend.h"

#include "core/DateValue.h"
#include "core/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstring>
#include <mdbtools.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tarnvue {

namespace {

// A Jet 4 page is always 4096 bytes; a file that is not a whole number of
// pages has been cut short (or is being copied) and is not read at all.
constexpr qint64 JetPageSize = 4096;
// Flags in a row's entry of the page's offset table.
constexpr int DeletedRowFlag = 0x4000;
constexpr int RowOffsetMask = 0x1fff;
// How many data pages go by between two progress reports (about 7,000 rows
// of ResponseTime).
constexpr int PagesPerReport = 64;

ScanProgress& scanProgressHook() {
    static ScanProgress hook;
    return hook;
}

Error damaged(const QString& what) {
    return Error(QStringLiteral("The monitor database is damaged: %1.").arg(what));
}

// Owns one table definition read from the file, with its columns.
class Table {
public:
    Table(MdbHandle* mdb, const char* name) : m_name(QString::fromLatin1(name)) {
        QByteArray buffer(name);
        m_table = mdb_read_table_by_name(mdb, buffer.data(), MDB_TABLE);
        if (!m_table)
            throw Error(QStringLiteral("The monitor database has no table %1.").arg(m_name));
        if (!mdb_read_columns(m_table) || m_table->num_cols > MDB_MAX_COLS ||
            m_table->columns->len != m_table->num_cols) {
            mdb_free_tabledef(m_table);
            throw damaged(QStringLiteral("the columns of table %1 cannot be read").arg(m_name));
        }
        // The page map lists the table's data pages: a bitmap in the table
        // definition (type 0) or on pages of its own (type 1).
        if (!m_table->usage_map || m_table->map_sz < 1 || m_table->usage_map[0] > 1) {
            mdb_free_tabledef(m_table);
            throw damaged(QStringLiteral("the page map of table %1 cannot be read").arg(m_name));
        }
        try {
            checkPageMap(mdb);
            checkFixedColumns();
        } catch (...) {
            mdb_free_tabledef(m_table);
            throw;
        }
    }
    ~Table() { mdb_free_tabledef(m_table); }
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    MdbTableDef* def() const { return m_table; }
    const QString& name() const { return m_name; }
    int columnCount() const { return static_cast<int>(m_table->num_cols); }
    MdbColumn* column(int index) const {
        return static_cast<MdbColumn*>(g_ptr_array_index(m_table->columns, index));
    }
    QString columnName(int index) const { return QString::fromUtf8(column(index)->name); }
    int columnType(int index) const { return column(index)->col_type; }

    // The column of that name (any letter case, as Jet compares names), or -1.
    int findColumn(const QString& name) const {
        for (int i = 0; i < columnCount(); ++i) {
            if (columnName(i).compare(name, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    }
    int requireColumn(const QString& name) const {
        const int index = findColumn(name);
        if (index < 0)
            throw Error(QStringLiteral("The %1 table has no column %2").arg(m_name, name));
        return index;
    }

    // Calls onRow(fields) for every row that is not deleted, in stored order;
    // fields has one entry per column. Each row is first offered to
    // fast(page, start, size), which decodes it straight from the page and
    // returns true, or returns false when it cannot be sure of the row; then
    // libmdb cracks it. Calls onPage() after each data page; when it returns
    // false the walk stops.
    template <typename FastFn, typename RowFn, typename PageFn>
    void forEachRow(const FastFn& fast, const RowFn& onRow, const PageFn& onPage) const {
        MdbHandle* mdb = m_table->entry->mdb;
        const int pageSize = static_cast<int>(mdb->fmt->pg_size);
        const int rowCountOffset = mdb->fmt->row_count_offset;
        const auto owner = static_cast<long>(m_table->entry->table_pg);
        const int fd = fileno(mdb->f->stream);
        std::array<MdbField, MDB_MAX_COLS> fields{};
        std::array<uchar, JetPageSize> buffer{};
        uchar* const pg = buffer.data();
        // The pages the map lists were all written before the file's size is
        // taken here, so one beyond it means the file lost its end.
        struct stat status {};
        if (fstat(fd, &status) != 0)
            throw damaged(QStringLiteral("its size cannot be read"));
        const auto filePages = static_cast<qint64>(status.st_size) / pageSize;
        guint32 page = 0;
        for (;;) {
            const gint32 next = mdb_map_find_next(mdb, m_table->usage_map,
                                                  static_cast<unsigned>(m_table->map_sz), page);
            if (next == 0)
                break;
            if (next < 0)
                throw damaged(
                    QStringLiteral("the page map of table %1 cannot be read").arg(m_name));
            if (static_cast<guint32>(next) <= page)
                throw damaged(QStringLiteral("the page map of table %1 loops").arg(m_name));
            page = static_cast<guint32>(next);
            if (page >= filePages)
                throw damaged(QStringLiteral("page %1 of table %2 lies past the end of the file")
                                  .arg(page)
                                  .arg(m_name));
            // One read per page, straight from the file (libmdb's own read
            // takes the file's size and seeks again for every page).
            if (pread(fd, buffer.data(), JetPageSize, static_cast<off_t>(page) * pageSize) !=
                JetPageSize)
                throw damaged(QStringLiteral("page %1 cannot be read").arg(page));
            // A page the map still lists but that no longer holds this
            // table's rows (freed and reused) is passed over.
            if (pg[0] != 0x01 || mdb_get_int32(buffer.data(), 4) != owner)
                continue;
            const int rows = qFromLittleEndian<quint16>(pg + rowCountOffset);
            if (rowCountOffset + 2 + rows * 2 > pageSize)
                throw damaged(QStringLiteral("page %1 has a bad row count").arg(page));
            // libmdb cracks rows in its own page buffer; the page is copied
            // there only when a row needs it.
            bool inLibmdb = false;
            for (int row = 0; row < rows; ++row) {
                // The row's place, checked as libmdb's mdb_find_row does.
                const int entry = qFromLittleEndian<quint16>(pg + rowCountOffset + 2 + row * 2);
                const int start = entry & RowOffsetMask;
                const int end =
                    row == 0
                        ? pageSize
                        : qFromLittleEndian<quint16>(pg + rowCountOffset + row * 2) & RowOffsetMask;
                if (row > 1000 || start >= pageSize || start > end || end > pageSize)
                    throw damaged(
                        QStringLiteral("row %1 of page %2 is out of place").arg(row).arg(page));
                const int size = end - start;
                if ((entry & DeletedRowFlag) != 0 || size == 0)
                    continue;
                if (fast(pg, start, size))
                    continue;
                if (!inLibmdb) {
                    std::memcpy(mdb->pg_buf, pg, JetPageSize);
                    mdb->cur_pg = page;
                    inLibmdb = true;
                }
                if (mdb_crack_row(m_table, start, static_cast<size_t>(size), fields.data()) < 0)
                    throw damaged(
                        QStringLiteral("row %1 of page %2 cannot be read").arg(row).arg(page));
                onRow(fields.data());
            }
            if (!onPage())
                break;
        }
    }

private:
    // libmdb takes the page map from wherever the table definition points
    // and does not say when that page is gone (a file cut short): the map is
    // read again here, straight from the file, and must be the same, and
    // every page of a map kept on pages of its own must be there.
    void checkPageMap(MdbHandle* mdb) const {
        const int fd = fileno(mdb->f->stream);
        struct stat status {};
        if (fstat(fd, &status) != 0)
            throw damaged(QStringLiteral("its size cannot be read"));
        const auto filePages = static_cast<qint64>(status.st_size) / JetPageSize;
        const auto mapMissing = [&] {
            return damaged(QStringLiteral("the page map of table %1 is missing").arg(m_name));
        };
        std::array<uchar, JetPageSize> page{};
        const auto readPage = [&](qint64 number) {
            return number > 0 && number < filePages &&
                   pread(fd, page.data(), JetPageSize, static_cast<off_t>(number * JetPageSize)) ==
                       JetPageSize;
        };
        if (!readPage(m_table->entry->table_pg))
            throw damaged(QStringLiteral("the definition of table %1 is missing").arg(m_name));
        const quint32 mapRow =
            qFromLittleEndian<quint32>(page.data() + mdb->fmt->tab_usage_map_offset);
        if (!readPage(mapRow >> 8) || page[0] != 0x01)
            throw mapMissing();
        const int rowCountOffset = mdb->fmt->row_count_offset;
        const int rows = qFromLittleEndian<quint16>(page.data() + rowCountOffset);
        const int row = static_cast<int>(mapRow & 0xff);
        if (row >= rows || rowCountOffset + 2 + rows * 2 > JetPageSize)
            throw mapMissing();
        const int start =
            qFromLittleEndian<quint16>(page.data() + rowCountOffset + 2 + row * 2) & RowOffsetMask;
        const int end = row == 0
                            ? static_cast<int>(JetPageSize)
                            : qFromLittleEndian<quint16>(page.data() + rowCountOffset + row * 2) &
                                  RowOffsetMask;
        const auto size = static_cast<std::size_t>(end - start);
        if (start >= end || size != m_table->map_sz ||
            std::memcmp(page.data() + start, m_table->usage_map, size) != 0)
            throw mapMissing();
        if (m_table->usage_map[0] != 1)
            return;
        // A map of its own pages: a list of page numbers after the type byte.
        for (std::size_t at = 1; at + 4 <= m_table->map_sz; at += 4) {
            const quint32 mapPage = qFromLittleEndian<quint32>(m_table->usage_map + at);
            if (mapPage != 0 && (!readPage(mapPage) || page[0] != 0x05))
                throw damaged(QStringLiteral("page %1 of the page map of table %2 is missing")
                                  .arg(mapPage)
                                  .arg(m_name));
        }
    }

    // Fixed-width columns each have their own place in the row: a size that
    // fits their type, and no overlap with another. A changed byte in the
    // definition would otherwise read one column from another's bytes.
    void checkFixedColumns() const {
        std::vector<std::pair<int, int>> spans;
        std::vector<bool> numbers(static_cast<std::size_t>(columnCount()), false);
        for (int i = 0; i < columnCount(); ++i) {
            const MdbColumn* col = column(i);
            const auto bad = [&](const QString& what) {
                return damaged(QStringLiteral("the column %1 of table %2 %3")
                                   .arg(columnName(i), m_name, what));
            };
            if (col->col_num < 0 || col->col_num >= columnCount() ||
                numbers[static_cast<std::size_t>(col->col_num)])
                throw bad(QStringLiteral("has a wrong number"));
            numbers[static_cast<std::size_t>(col->col_num)] = true;
            if (!col->is_fixed || col->col_type == MDB_BOOL)
                continue;
            const int size = fixedSize(col->col_type);
            if (size > 0 && col->col_size != size)
                throw bad(QStringLiteral("has a size that does not fit its type"));
            if (col->fixed_offset < 0 || col->col_size < 0)
                throw bad(QStringLiteral("lies outside the row"));
            const int begin = col->fixed_offset;
            const int end = begin + col->col_size;
            for (const auto& [otherBegin, otherEnd] : spans) {
                if (begin < otherEnd && otherBegin < end)
                    throw bad(QStringLiteral("overlaps another column"));
            }
            spans.emplace_back(begin, end);
        }
    }

    // The stored size of a fixed-width type, or 0 when it has none of its own.
    static int fixedSize(int type) {
        switch (type) {
        case MDB_BOOL:
            return 0; // kept in the null bitmap
        case MDB_BYTE:
            return 1;
        case MDB_INT:
            return 2;
        case MDB_LONGINT:
        case MDB_FLOAT:
            return 4;
        case MDB_MONEY:
        case MDB_DOUBLE:
        case MDB_DATETIME:
            return 8;
        default:
            return 0;
        }
    }

    MdbTableDef* m_table = nullptr;
    QString m_name;
};

bool isNumberType(int type) {
    switch (type) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_DATETIME:
        return true;
    default:
        return false;
    }
}

// A number column's value, or nothing when the field is null.
std::optional<double> number(const MdbField& field, int type) {
    if (type == MDB_BOOL) // kept in the null bitmap: set is Yes (-1)
        return field.is_null ? 0.0 : -1.0;
    if (field.is_null || !field.value)
        return std::nullopt;
    const auto* p = static_cast<const uchar*>(field.value);
    const auto need = [&](int bytes) {
        if (field.siz < bytes)
            throw damaged(QStringLiteral("a number field is too short"));
    };
    switch (type) {
    case MDB_BYTE:
        need(1);
        return p[0];
    case MDB_INT:
        need(2);
        return qFromLittleEndian<qint16>(p);
    case MDB_LONGINT:
        need(4);
        return qFromLittleEndian<qint32>(p);
    case MDB_MONEY:
        need(8);
        return static_cast<double>(qFromLittleEndian<qint64>(p)) / 10000.0;
    case MDB_FLOAT: {
        need(4);
        const quint32 bits = qFromLittleEndian<quint32>(p);
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    case MDB_DOUBLE:
    case MDB_DATETIME: {
        need(8);
        const quint64 bits = qFromLittleEndian<quint64>(p);
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    default:
        return std::nullopt;
    }
}

// Jet 4 text: UTF-16LE, or "compressed" when it starts with FF FE, where a
// zero byte switches between one byte per character (Latin-1) and UTF-16LE.
QString jetText(const MdbField& field) {
    const auto* p = static_cast<const uchar*>(field.value);
    const int n = field.siz;
    QString text;
    if (n >= 2 && p[0] == 0xff && p[1] == 0xfe) {
        text.reserve(n);
        bool compressed = true;
        int i = 2;
        while (i < n) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                text.append(QChar(p[i]));
                ++i;
            } else if (i + 1 < n) {
                text.append(QChar(qFromLittleEndian<quint16>(p + i)));
                i += 2;
            } else {
                break;
            }
        }
        return text;
    }
    text.resize(n / 2);
    for (int i = 0; i < n / 2; ++i)
        text[i] = QChar(qFromLittleEndian<quint16>(p + 2 * i));
    return text;
}

// A field of the Nodes table as a value; null stays a null QVariant.
QVariant fieldValue(const MdbField& field, int type) {
    if (type == MDB_TEXT) {
        if (field.is_null || !field.value)
            return QVariant(QMetaType(QMetaType::QString));
        return jetText(field);
    }
    const std::optional<double> value = number(field, type);
    if (!value)
        return QVariant(QMetaType(QMetaType::Double));
    switch (type) {
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_BOOL:
        return static_cast<qint32>(*value);
    default:
        return *value;
    }
}

// The rows of a node query, read whole (the Nodes table is small).
class JetRecordSet : public RecordSet {
public:
    QStringList columns;
    // Columns whose stored type this program does not decode: reading one
    // fails rather than showing a wrong value.
    QList<bool> readable;
    std::vector<QList<QVariant>> rows;

    bool atEnd() const override { return m_row >= rows.size(); }

    void moveNext() override {
        if (atEnd())
            throw Error(QStringLiteral("Either BOF or EOF is True, or the current record has "
                                       "been deleted."));
        ++m_row;
    }

    QVariant value(const QString& column) const override {
        if (atEnd())
            throw Error(QStringLiteral("Either BOF or EOF is True, or the current record has "
                                       "been deleted."));
        qsizetype index = columns.indexOf(column);
        for (qsizetype i = 0; index < 0 && i < columns.size(); ++i) {
            if (columns.at(i).compare(column, Qt::CaseInsensitive) == 0)
                index = i;
        }
        if (index < 0)
            throw Error(QStringLiteral("Item cannot be found in the collection corresponding "
                                       "to the requested name or ordinal."));
        if (!readable.at(index))
            throw Error(QStringLiteral("The column %1 of table Nodes has a type this version "
                                       "of Tarnvue cannot read.")
                            .arg(column));
        return rows[m_row].at(index);
    }

private:
    std::size_t m_row = 0;
};

// Reads the Nodes rows that pass `keep`, in stored order, with the given
// columns (all of them when empty).
template <typename Keep>
std::unique_ptr<RecordSet> readNodes(MdbHandle* mdb, const QStringList& wanted, const Keep& keep) {
    const Table nodes(mdb, "Nodes");
    std::vector<int> picked;
    if (wanted.isEmpty()) {
        for (int i = 0; i < nodes.columnCount(); ++i)
            picked.push_back(i);
    } else {
        for (const QString& name : wanted)
            picked.push_back(nodes.requireColumn(name));
    }
    auto result = std::make_unique<JetRecordSet>();
    for (const int i : picked) {
        result->columns << nodes.columnName(i);
        result->readable << (nodes.columnType(i) == MDB_TEXT || isNumberType(nodes.columnType(i)));
    }
    nodes.forEachRow([](uchar*, int, int) { return false; },
                     [&](const MdbField* fields) {
                         if (!keep(nodes, fields))
                             return;
                         QList<QVariant> row;
                         row.reserve(static_cast<qsizetype>(picked.size()));
                         for (const int i : picked)
                             row << fieldValue(fields[i], nodes.columnType(i));
                         result->rows.push_back(std::move(row));
                     },
                     [] { return true; });
    return result;
}

// One sample row kept by the scan; `present` has a bit per value that is
// not null (response, min, max, loss).
struct ScanRow {
    double time;
    std::array<double, 4> values;
    unsigned present;
};

class JetSampleReader : public SampleReader {
public:
    explicit JetSampleReader(std::vector<ScanRow> rows) : m_rows(std::move(rows)) {}

    bool next(Sample& sample) override {
        if (m_next >= m_rows.size())
            return false;
        const ScanRow& row = m_rows[m_next++];
        const auto value = [&](int i) {
            return (row.present & (1u << i)) ? std::optional<double>(row.values[i]) : std::nullopt;
        };
        sample.time = row.time;
        sample.response = value(0);
        sample.min = value(1);
        sample.max = value(2);
        sample.loss = value(3);
        return true;
    }

private:
    std::vector<ScanRow> m_rows;
    std::size_t m_next = 0;
};

} // namespace

void setJetScanProgress(ScanProgress progress) {
    scanProgressHook() = std::move(progress);
}

// The open file; libmdb's handle type cannot be declared ahead.
struct JetBackend::File {
    MdbHandle* mdb = nullptr;
};

JetBackend::JetBackend(const QString& path) : m_file(std::make_unique<File>()) {
    const qint64 size = QFileInfo(path).size();
    if (size < 2 * JetPageSize || size % JetPageSize != 0)
        throw Error(QStringLiteral("The monitor database '%1' is damaged or incomplete: its "
                                   "size (%2 bytes) is not a whole number of pages.")
                        .arg(path)
                        .arg(size));
    // Read-only and without any lock file: the poller keeps writing.
    MdbHandle* mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!mdb)
        throw Error(QStringLiteral("Cannot open the monitor database '%1' as an Access "
                                   "(Jet 4) database.")
                        .arg(path));
    if (mdb->f->jet_version != MDB_VER_JET4 || mdb->fmt->pg_size != JetPageSize) {
        mdb_close(mdb);
        throw Error(QStringLiteral("The monitor database '%1' is not an Access (Jet 4) "
                                   "database; no other Access format is supported.")
                        .arg(path));
    }
    if (!mdb_read_catalog(mdb, MDB_TABLE)) {
        mdb_close(mdb);
        throw damaged(QStringLiteral("its list of tables cannot be read"));
    }
    m_file->mdb = mdb;
}

JetBackend::~JetBackend() {
    mdb_close(m_file->mdb);
}

std::unique_ptr<RecordSet> JetBackend::nodeByAddress(const QString& address) {
    int column = -1;
    return readNodes(
        m_file->mdb, {QStringLiteral("Node ID")}, [&](const Table& nodes, const MdbField* fields) {
            if (column < 0) {
                column = nodes.requireColumn(QStringLiteral("IP Address"));
                if (nodes.columnType(column) != MDB_TEXT)
                    throw Error(QStringLiteral("The Nodes column IP Address is not text."));
            }
            const MdbField& field = fields[column];
            return !field.is_null && field.value && jetText(field) == address;
        });
}

std::unique_ptr<RecordSet> JetBackend::nodeById(std::int32_t nodeId) {
    int column = -1;
    return readNodes(m_file->mdb, {}, [&](const Table& nodes, const MdbField* fields) {
        if (column < 0)
            column = nodes.requireColumn(QStringLiteral("Node ID"));
        const std::optional<double> id = number(fields[column], nodes.columnType(column));
        return id && *id == nodeId;
    });
}

std::unique_ptr<RecordSet> JetBackend::allNodes() {
    return readNodes(m_file->mdb, {}, [](const Table&, const MdbField*) { return true; });
}

std::unique_ptr<SampleReader> JetBackend::samples(std::int32_t nodeId, double begin, double end) {
    // The bounds as the query text writes them (the shortest text that reads
    // back to the same value), so that a Jet file and an SQLite file answer
    // the same span alike.
    const double low = DateValue::queryText(begin).toDouble();
    const double high = DateValue::queryText(end).toDouble();
    const ScanProgress progress = scanProgressHook();

    const Table table(m_file->mdb, "ResponseTime");
    const int idColumn = table.requireColumn(QStringLiteral("Node ID"));
    const int timeColumn = table.requireColumn(QStringLiteral("Time"));
    const std::array<int, 4> valueColumns{
        table.requireColumn(QStringLiteral("Response")), table.requireColumn(QStringLiteral("Min")),
        table.requireColumn(QStringLiteral("Max")), table.requireColumn(QStringLiteral("Loss"))};
    // The poller writes whole numbers and a date; any other type means the
    // definition was changed or damaged, and reading on would chart wrong
    // values.
    for (const int column : {idColumn, timeColumn, valueColumns[0], valueColumns[1],
                             valueColumns[2], valueColumns[3]}) {
        const int type = table.columnType(column);
        const bool fits = column == timeColumn
                              ? type == MDB_DATETIME
                              : (type == MDB_BYTE || type == MDB_INT || type == MDB_LONGINT);
        if (!fits || !table.column(column)->is_fixed)
            throw damaged(QStringLiteral("the column %1 of table ResponseTime is not %2")
                              .arg(table.columnName(column),
                                   column == timeColumn ? QStringLiteral("a date")
                                                        : QStringLiteral("a whole number")));
    }
    const int idType = table.columnType(idColumn);
    const int timeType = table.columnType(timeColumn);
    std::array<int, 4> valueTypes{};
    for (std::size_t i = 0; i < valueColumns.size(); ++i)
        valueTypes[i] = table.columnType(valueColumns[i]);

    const qint64 tableRows = table.def()->num_rows;
    qint64 done = 0;
    int pages = 0;
    bool cancelled = false;
    const auto report = [&](qint64 total) {
        if (progress && !progress(done, std::max(done, total)))
            cancelled = true;
        return !cancelled;
    };
    report(tableRows);

    // Room for the rows of a small table, or the first part of a large one,
    // so that the list is not copied over and over while it grows.
    std::vector<ScanRow> rows;
    rows.reserve(static_cast<std::size_t>(std::clamp<qint64>(tableRows, 0, 1 << 16)));
    const auto onRow = [&](const MdbField* fields) {
        ++done;
        const std::optional<double> id = number(fields[idColumn], idType);
        if (!id || *id != nodeId)
            return;
        const std::optional<double> time = number(fields[timeColumn], timeType);
        if (!time || !(*time >= low && *time <= high))
            return;
        ScanRow row{*time, {}, 0};
        for (std::size_t i = 0; i < valueColumns.size(); ++i) {
            if (const auto v = number(fields[valueColumns[i]], valueTypes[i])) {
                row.values[i] = *v;
                row.present |= 1u << i;
            }
        }
        rows.push_back(row);
    };

    // ResponseTime holds only fixed-width columns, each at the same place in
    // every row that has all of the table's columns: such rows are decoded
    // here from the page, with the same checks libmdb makes, and any other
    // row is left to libmdb.
    const MdbTableDef* def = table.def();
    const int columnCount = table.columnCount();
    bool allFixed = def->num_var_cols == 0;
    int fixedEnd = 2; // the column count that starts each row
    for (int i = 0; allFixed && i < columnCount; ++i) {
        const MdbColumn* col = table.column(i);
        allFixed = col->is_fixed && col->fixed_offset >= 0 && col->col_size >= 0;
        fixedEnd = std::max(fixedEnd, 2 + col->fixed_offset + col->col_size);
    }
    struct FastColumn {
        int index;
        int offset;
        int size;
        int nullByte;
        uchar nullBit;
    };
    std::vector<FastColumn> fastColumns;
    int lastNullByte = 0;
    for (const int i : {idColumn, timeColumn, valueColumns[0], valueColumns[1], valueColumns[2],
                        valueColumns[3]}) {
        const MdbColumn* col = table.column(i);
        if (col->col_num < 0)
            allFixed = false;
        const int nullByte = std::max(col->col_num, 0) / 8;
        fastColumns.push_back({i, 2 + col->fixed_offset, col->col_size, nullByte,
                               static_cast<uchar>(1u << (std::max(col->col_num, 0) % 8))});
        lastNullByte = std::max(lastNullByte, nullByte);
    }
    const int bitmaskSize = (columnCount + 7) / 8;
    std::array<MdbField, MDB_MAX_COLS> fastFields{};
    const auto fast = [&](uchar* page, int start, int size) {
        if (!allFixed || size < 2 || qFromLittleEndian<quint16>(page + start) != columnCount)
            return false;
        // A row with all the table's columns holds every fixed column whole.
        if (size - bitmaskSize < fixedEnd)
            throw damaged(QStringLiteral("the columns of table ResponseTime do not fit its rows"));
        const int end = start + size - 1;
        const int nullMask = end - bitmaskSize + 1;
        if (bitmaskSize + 1 >= end || nullMask + lastNullByte >= JetPageSize)
            return false;
        for (const FastColumn& c : fastColumns) {
            MdbField& field = fastFields[static_cast<std::size_t>(c.index)];
            field.value = page + start + c.offset;
            field.siz = c.size;
            field.is_null = (page[nullMask + c.nullByte] & c.nullBit) == 0;
        }
        onRow(fastFields.data());
        return true;
    };
    table.forEachRow(fast, onRow,
                     [&] { return ++pages % PagesPerReport != 0 || report(tableRows); });
    if (cancelled)
        throw Error(QStringLiteral("The read of the monitor database was cancelled."));
    report(done);

    // Rows are mostly appended in time order already; sort only when not.
    const auto earlier = [](const ScanRow& a, const ScanRow& b) {
        return a.time < b.time;
    };
    if (!std::is_sorted(rows.begin(), rows.end(), earlier))
        std::stable_sort(rows.begin(), rows.end(), earlier);
    return std::make_unique<JetSampleReader>(std::move(rows));
}

} // namespace tarnvue
