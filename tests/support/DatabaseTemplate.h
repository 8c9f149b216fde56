#pragma once

#include <QSet>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace tavsms {
class Store;
}

namespace tavsms::test {

// A fresh database costs a key derivation and the schema, and every
// connection keyed to it the derivation again. This one is made and keyed
// once per test process: a test works on it and puts it back as it was
// made, or writes its settings into it and copies the file out for the
// program to open.
class DatabaseTemplate
{
public:
    static DatabaseTemplate &instance();
    Store &store() { return *m_store; }

    // Its rows and schema as they were made.
    void reset();
    // Writes it as it is now to `path`, then resets it.
    void copyTo(const QString &path);

private:
    DatabaseTemplate();

    QTemporaryDir m_dir;
    std::unique_ptr<Store> m_store;
    QStringList m_tables;
    QSet<QString> m_objects; // tables, indexes and triggers as made
};

} // namespace tavsms::test
