#include "Database.h"

namespace {

const char *const kSchema = R"SQL(
CREATE TABLE IF NOT EXISTS meta (
    key   TEXT PRIMARY KEY,
    value TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS users (
    numeric_id       INTEGER PRIMARY KEY AUTOINCREMENT,
    id               TEXT NOT NULL UNIQUE,
    email            TEXT NOT NULL UNIQUE COLLATE NOCASE,
    password_hash    TEXT NOT NULL,
    name             TEXT,
    last_name        TEXT,
    username         TEXT UNIQUE COLLATE NOCASE,
    avatar           TEXT,
    cover_image      TEXT,
    bio              TEXT,
    birth_date       TEXT,
    city             TEXT,
    gender           TEXT,
    role             TEXT NOT NULL DEFAULT 'user',
    is_private       INTEGER NOT NULL DEFAULT 0,
    friends_only     INTEGER NOT NULL DEFAULT 0,
    graffiti_allowed INTEGER NOT NULL DEFAULT 1,
    email_verified   INTEGER NOT NULL DEFAULT 1,
    created_at       INTEGER NOT NULL,
    updated_at       INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS sessions (
    token_hash TEXT PRIMARY KEY,
    user_id    TEXT NOT NULL REFERENCES users(id),
    created_at INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS friendships (
    requester_id TEXT NOT NULL REFERENCES users(id),
    addressee_id TEXT NOT NULL REFERENCES users(id),
    status       TEXT NOT NULL CHECK (status IN ('pending', 'accepted')),
    created_at   INTEGER NOT NULL,
    PRIMARY KEY (requester_id, addressee_id)
);
CREATE TABLE IF NOT EXISTS files (
    id            TEXT PRIMARY KEY,
    url_key       TEXT NOT NULL,
    original_name TEXT NOT NULL,
    mime_type     TEXT NOT NULL,
    size          INTEGER NOT NULL,
    uploader_id   TEXT NOT NULL REFERENCES users(id),
    created_at    INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS messages (
    seq             INTEGER PRIMARY KEY AUTOINCREMENT,
    sender_id       TEXT NOT NULL REFERENCES users(id),
    recipient_id    TEXT NOT NULL REFERENCES users(id),
    content         TEXT NOT NULL,
    attachment_url  TEXT,
    attachment_type TEXT,
    file_id         TEXT REFERENCES files(id),
    is_read         INTEGER NOT NULL DEFAULT 0,
    created_at      INTEGER NOT NULL
);
CREATE INDEX IF NOT EXISTS messages_pair ON messages(sender_id, recipient_id, created_at);
CREATE INDEX IF NOT EXISTS messages_unread ON messages(recipient_id, is_read);
CREATE TABLE IF NOT EXISTS calls (
    id          TEXT PRIMARY KEY,
    caller_id   TEXT NOT NULL REFERENCES users(id),
    callee_id   TEXT NOT NULL REFERENCES users(id),
    status      TEXT NOT NULL,
    offer       TEXT NOT NULL,
    answer      TEXT,
    created_at  INTEGER NOT NULL,
    updated_at  INTEGER NOT NULL
);
CREATE INDEX IF NOT EXISTS calls_live ON calls(status);
CREATE TABLE IF NOT EXISTS call_candidates (
    seq             INTEGER PRIMARY KEY AUTOINCREMENT,
    call_id         TEXT NOT NULL REFERENCES calls(id),
    from_caller     INTEGER NOT NULL,
    candidate       TEXT NOT NULL,
    sdp_mid         TEXT,
    sdp_mline_index INTEGER
);
CREATE INDEX IF NOT EXISTS call_candidates_call ON call_candidates(call_id, seq);
)SQL";

} // namespace

Database::Statement::~Statement()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

Database::Statement &Database::Statement::bind(int index, std::string_view value)
{
    if (sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        throw Error(sqlite3_errmsg(db_));
    return *this;
}

Database::Statement &Database::Statement::bind(int index, int64_t value)
{
    if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK)
        throw Error(sqlite3_errmsg(db_));
    return *this;
}

Database::Statement &Database::Statement::bind(int index, const std::optional<std::string> &value)
{
    return value ? bind(index, *value) : bindNull(index);
}

Database::Statement &Database::Statement::bindNull(int index)
{
    sqlite3_bind_null(stmt_, index);
    return *this;
}

bool Database::Statement::step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throw Error(sqlite3_errmsg(db_));
}

void Database::Statement::run()
{
    while (step()) {
    }
}

bool Database::Statement::isNull(int column) const
{
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

int64_t Database::Statement::integer(int column) const
{
    return sqlite3_column_int64(stmt_, column);
}

std::string Database::Statement::text(int column) const
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, column));
    return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))) : std::string();
}

std::optional<std::string> Database::Statement::optText(int column) const
{
    if (isNull(column))
        return std::nullopt;
    return text(column);
}

Database::Transaction::Transaction(Database &db) : db_(db)
{
    db_.exec("BEGIN IMMEDIATE");
}

Database::Transaction::~Transaction()
{
    if (!done_) {
        try {
            db_.exec("ROLLBACK");
        } catch (...) {
        }
    }
}

void Database::Transaction::commit()
{
    db_.exec("COMMIT");
    done_ = true;
}

Database::Database(const std::string &path)
{
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw Error("cannot open " + path + ": " + message);
    }
    sqlite3_busy_timeout(db_, 5000);
    exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=NORMAL");
    exec("PRAGMA foreign_keys=ON");
    migrate();
}

Database::~Database()
{
    close();
}

void Database::close()
{
    auto guard = lock();
    if (!db_)
        return;
    for (auto &[sql, stmt] : cache_)
        sqlite3_finalize(stmt);
    cache_.clear();
    sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    sqlite3_close(db_);
    db_ = nullptr;
}

Database::Statement Database::prepare(const std::string &sql)
{
    if (!db_)
        throw Error("database is closed");
    auto it = cache_.find(sql);
    if (it == cache_.end()) {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK)
            throw Error(std::string(sqlite3_errmsg(db_)) + " in: " + sql);
        it = cache_.emplace(sql, stmt).first;
    }
    return Statement(db_, it->second);
}

void Database::exec(const std::string &sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw Error(message);
    }
}

void Database::migrate()
{
    auto guard = lock();
    exec(kSchema);
}
