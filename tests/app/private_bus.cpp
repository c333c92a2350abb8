#include "app/private_bus.h"

#include <QStringList>

#include "app/qt_text.h"
#include "support/test_support.h"

namespace torvane::test {

PrivateBus::PrivateBus(const std::string& folder) {
    const std::string config = folder + "/bus.conf";
    writeFile(config,
              "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
              "<busconfig><type>session</type><listen>unix:dir=" +
                  folder +
                  "</listen><auth>EXTERNAL</auth>"
                  "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                  "<allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                  "</policy></busconfig>\n");
    daemon_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + app::toQt(config),
                                                  QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (daemon_.waitForStarted(10000) && daemon_.waitForReadyRead(10000)) {
        address = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
}

PrivateBus::~PrivateBus() {
    daemon_.kill();
    daemon_.waitForFinished(10000);
}

}  // namespace torvane::test
