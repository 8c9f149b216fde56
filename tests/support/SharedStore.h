#pragma once

class QString;

namespace tavsms {
class Store;
}

namespace tavsms::test {

// One store for the whole test program, opened once (keying a connection
// costs a key derivation, by far the dearest thing a test did) and handed to
// each test as fresh as a new one: every row a test wrote is gone and the
// fixed rows (ports, account, network) are as created. When a test has
// changed the schema itself (a trigger, a renamed table), the next test gets
// a store made anew.
Store &freshStore();

// Writes the shared store as it is now to `path`, for a program under test
// to open as its own database.
void copyStoreTo(const QString &path);

} // namespace tavsms::test
