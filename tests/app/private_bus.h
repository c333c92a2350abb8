#pragma once

#include <QProcess>
#include <QString>
#include <string>

namespace torvane::test {

// A D-Bus daemon of the test's own, listening in the folder, with no services to activate: the
// test registers the stand-ins it needs. Ended (by its process) with this object.
class PrivateBus {
public:
    explicit PrivateBus(const std::string& folder);
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // The daemon's address; empty when it did not start.
    QString address;

private:
    QProcess daemon_;
};

}  // namespace torvane::test
