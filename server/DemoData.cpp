#include "DemoData.h"

#include "Accounts.h"
#include "Png.h"
#include "Util.h"

#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

const char *const kPassword = "demo1234";

struct DemoMember {
    const char *key;
    const char *name;
    const char *lastName;
    const char *city;
    const char *birthDate;
    const char *gender;
    const char *bio;
    uint32_t colour;
};

const DemoMember kMembers[] = {
    {"anna", "Анна", "Смирнова", "Москва", "1992-04-17", "female", "Продакт-менеджер. Люблю горы и хороший кофе.", 0x3B82F6},
    {"boris", "Борис", "Иванов", "Санкт-Петербург", "1988-11-02", "male", "Backend, базы данных, велосипед.", 0x10B981},
    {"john", "John", "Carter", "London", "1990-06-21", "male", "Designer. Coffee first.", 0xF59E0B},
    {"maria", "Мария", "Кузнецова", "Казань", "1995-02-09", "female", "QA и автоматизация тестов.", 0xEC4899},
    {"emily", "Emily", "Clarke", "Dublin", "1993-09-30", "female", "Support lead.", 0x8B5CF6},
    {"dmitry", "Дмитрий", "Петров", "Новосибирск", "1986-12-05", "male", "Инфраструктура и сети.", 0xEF4444},
    {"oliver", "Oliver", "Brown", "Manchester", nullptr, nullptr, nullptr, 0x14B8A6},
    {"sofia", "Софья", "Волкова", "Екатеринбург", "1998-07-14", "female", "Фронтенд.", 0x6366F1},
};

std::string emailOf(const std::string &key)
{
    return key + "@demo.theorvane.example";
}

const char *const kRussianLines[] = {
    "Привет! Как дела?", "Всё отлично, спасибо 🙂", "Посмотришь макет до обеда?", "Да, сейчас гляну",
    "Созвонимся в три?", "Давай, я наберу", "Отправил правки в задачу", "Супер, спасибо!",
    "Сборка снова зелёная ✅", "Кто-нибудь видел логи за вчера?", "Ок, договорились", "Завтра в офисе будешь?",
    "Буду после десяти", "Нашёл причину бага — гонка в таймере", "Красота 👍", "Обед в час?",
    "Я немного задержусь", "Прислал ссылку на документ", "Отличная работа!", "Давай обсудим на встрече",
};
const char *const kEnglishLines[] = {
    "Hi! How are you?", "All good, thanks 🙂", "Could you review the mockup before lunch?", "Sure, looking now",
    "Call at three?", "Sounds good, I'll ring you", "Pushed the fixes", "Great, thanks!",
    "The build is green again ✅", "Has anyone seen yesterday's logs?", "Deal", "Are you in the office tomorrow?",
    "After ten", "Found the bug: a race in the timer", "Nice 👍", "Lunch at one?",
    "Running a bit late", "Sent you the document link", "Great job!", "Let's talk it over at the meeting",
};

struct Lcg {
    uint64_t state;
    uint32_t next()
    {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(state >> 33);
    }
};

void writeIfMissing(const fs::path &path, const std::string &bytes)
{
    if (fs::exists(path))
        return;
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void insertMessage(Database &db, const Member &from, const Member &to, const std::string &content, int64_t at,
                   bool read, const std::optional<std::string> &url = std::nullopt,
                   const std::optional<std::string> &type = std::nullopt,
                   const std::optional<std::string> &fileId = std::nullopt)
{
    auto s = db.prepare("INSERT INTO messages (sender_id, recipient_id, content, attachment_url, attachment_type, "
                        "file_id, is_read, created_at) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    s.bind(1, from.id).bind(2, to.id).bind(3, content).bind(4, url).bind(5, type).bind(6, fileId);
    s.bind(7, read).bind(8, at);
    s.run();
}

} // namespace

std::vector<DemoSignIn> seedDemoData(Database &db, const fs::path &dataDir)
{
    fs::create_directories(dataDir / "avatars");
    fs::create_directories(dataDir / "files");
    for (const auto &m : kMembers)
        writeIfMissing(dataDir / "avatars" / (std::string(m.key) + ".png"), png::avatar(128, m.colour));

    // Hash outside the lock: each hash takes a noticeable moment.
    std::map<std::string, std::string> hashes;
    {
        auto guard = db.lock();
        for (const auto &m : kMembers) {
            if (!accounts::findByEmail(db, emailOf(m.key)))
                hashes[m.key] = {};
        }
    }
    for (auto &[key, hash] : hashes)
        hash = accounts::hashPassword(kPassword);

    auto guard = db.lock();
    Database::Transaction tx(db);
    std::map<std::string, Member> members;
    std::vector<DemoSignIn> signIns;
    for (const auto &m : kMembers) {
        auto existing = accounts::findByEmail(db, emailOf(m.key));
        if (!existing) {
            Member fresh;
            fresh.email = emailOf(m.key);
            fresh.name = m.name;
            fresh.lastName = m.lastName;
            fresh.username = std::string(m.key);
            fresh.avatar = "avatars/" + std::string(m.key) + ".png";
            if (m.city)
                fresh.city = m.city;
            if (m.birthDate)
                fresh.birthDate = m.birthDate;
            if (m.gender)
                fresh.gender = m.gender;
            if (m.bio)
                fresh.bio = m.bio;
            existing = accounts::create(db, fresh, hashes.at(m.key));
        }
        members[m.key] = *existing;
        signIns.push_back({emailOf(m.key), kPassword, existing->displayName()});
    }

    auto seeded = db.prepare("SELECT 1 FROM meta WHERE key = 'demo-history'");
    if (seeded.step()) {
        tx.commit();
        return signIns;
    }

    const Member &anna = members["anna"], &boris = members["boris"], &john = members["john"],
                 &maria = members["maria"], &emily = members["emily"], &dmitry = members["dmitry"],
                 &oliver = members["oliver"], &sofia = members["sofia"];
    accounts::setFriendship(db, anna.id, boris.id, true);
    accounts::setFriendship(db, john.id, anna.id, true);
    accounts::setFriendship(db, anna.id, maria.id, true);
    accounts::setFriendship(db, sofia.id, anna.id, true);
    accounts::setFriendship(db, boris.id, maria.id, true);
    accounts::setFriendship(db, boris.id, john.id, true);
    accounts::setFriendship(db, emily.id, anna.id, false);  // Anna sees pending_incoming
    accounts::setFriendship(db, anna.id, dmitry.id, false); // Anna sees pending_outgoing
    // Oliver and Anna have no relation (none), but talked before.

    Lcg rng{20261206};
    const int64_t now = util::nowMicros();
    const int64_t minute = 60LL * 1000000;
    struct Thread {
        const Member *a;
        const Member *b;
        int count;
        bool russian;
        int unreadForA; // last messages from b to a left unread
    };
    const Thread threads[] = {
        {&anna, &boris, 120, true, 3}, {&anna, &john, 80, false, 2},   {&anna, &maria, 60, true, 0},
        {&boris, &maria, 20, true, 1}, {&anna, &oliver, 12, false, 0}, {&boris, &john, 10, false, 0},
    };
    // Each thread ends at a different moment so the conversation list has a clear order.
    int64_t end = now - 5 * minute;
    for (const auto &t : threads) {
        const int64_t start = end - static_cast<int64_t>(t.count) * 97 * minute;
        std::vector<std::pair<const Member *, std::string>> lines;
        for (int i = 0; i < t.count; ++i) {
            const Member *from = (rng.next() % 3 == 0) ? t.a : t.b;
            const auto &pool = t.russian ? kRussianLines : kEnglishLines;
            lines.emplace_back(from, pool[rng.next() % std::size(kRussianLines)]);
        }
        // The newest messages come from b, so a has something unread.
        for (int i = 0; i < t.unreadForA; ++i)
            lines[lines.size() - 1 - i].first = t.b;
        for (int i = 0; i < t.count; ++i) {
            const Member *from = lines[i].first;
            const Member *to = from == t.a ? t.b : t.a;
            const bool unread = to == t.a && i >= t.count - t.unreadForA;
            insertMessage(db, *from, *to, lines[i].second, start + i * 97 * minute, !unread);
        }
        end -= 41 * minute;
    }

    // One message with a file.
    const std::string fileId = util::randomHex(16);
    const std::string fileName = "Project plan.txt";
    const std::string fileBody = "Project plan\n\n1. Sign-in and conversations\n2. Chat with files\n3. Voice calls\n";
    {
        std::ofstream out(dataDir / "files" / fileId, std::ios::binary);
        out << fileBody;
    }
    const std::string urlKey = fileId + "-" + util::randomHex(4) + "-" + util::percentEncode(fileName);
    auto f = db.prepare("INSERT INTO files (id, url_key, original_name, mime_type, size, uploader_id, created_at) "
                        "VALUES (?1, ?2, ?3, 'text/plain', ?4, ?5, ?6)");
    f.bind(1, fileId).bind(2, urlKey).bind(3, fileName).bind(4, static_cast<int64_t>(fileBody.size()));
    f.bind(5, maria.id).bind(6, now);
    f.run();
    insertMessage(db, maria, anna, "📎 " + fileName, now - 2 * minute, false, "content:files/" + urlKey, "text/plain",
                  fileId);

    insertMessage(db, emily, anna, "Hi Anna! I sent you a friend request, we met at the conference.", now - 30 * minute,
                  false);
    insertMessage(db, anna, dmitry, "Дмитрий, привет! Добавь меня, пожалуйста, в друзья.", now - 300 * minute, true);

    db.exec("INSERT INTO meta (key, value) VALUES ('demo-history', '1')");
    tx.commit();
    return signIns;
}
