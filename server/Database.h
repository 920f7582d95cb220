#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// One SQLite connection shared by every request thread. All access goes through lock(), so a
// statement, its bindings and its result rows are never touched by two threads at once.
class Database {
public:
    class Error : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    // A cached prepared statement; resets itself when the scope ends so it can be reused.
    class Statement {
    public:
        Statement(sqlite3 *db, sqlite3_stmt *stmt) : db_(db), stmt_(stmt) {}
        Statement(const Statement &) = delete;
        Statement &operator=(const Statement &) = delete;
        ~Statement();

        Statement &bind(int index, std::string_view value);
        Statement &bind(int index, const char *value) { return bind(index, std::string_view(value)); }
        Statement &bind(int index, const std::string &value) { return bind(index, std::string_view(value)); }
        Statement &bind(int index, int64_t value);
        Statement &bind(int index, int value) { return bind(index, static_cast<int64_t>(value)); }
        Statement &bind(int index, bool value) { return bind(index, static_cast<int64_t>(value ? 1 : 0)); }
        Statement &bind(int index, const std::optional<std::string> &value);
        Statement &bindNull(int index);

        // Advances to the next row; false when done. Throws on errors (constraint violations too).
        bool step();
        // Runs a statement that returns no rows.
        void run();

        bool isNull(int column) const;
        int64_t integer(int column) const;
        std::string text(int column) const;
        std::optional<std::string> optText(int column) const;

    private:
        sqlite3 *db_;
        sqlite3_stmt *stmt_;
    };

    class Transaction {
    public:
        explicit Transaction(Database &db);
        ~Transaction();
        void commit();

    private:
        Database &db_;
        bool done_ = false;
    };

    explicit Database(const std::string &path);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Held by the caller for the whole of one logical operation.
    std::unique_lock<std::recursive_mutex> lock() { return std::unique_lock(mutex_); }

    Statement prepare(const std::string &sql);
    void exec(const std::string &sql);
    int64_t lastInsertRowId() const { return sqlite3_last_insert_rowid(db_); }
    int changes() const { return sqlite3_changes(db_); }

    // Closes the connection after checkpointing the write-ahead log; safe to call twice.
    void close();

private:
    void migrate();

    sqlite3 *db_ = nullptr;
    std::map<std::string, sqlite3_stmt *> cache_;
    std::recursive_mutex mutex_;
};
