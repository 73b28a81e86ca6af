#include "media/usb_camera_facts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString ReadAttribute(const QDir& dir, const char* name) {
    QFile file(dir.filePath(QString::fromLatin1(name)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(256)).trimmed();
}

}  // namespace

UsbCameraFacts ReadUsbCameraFacts(const QString& devicePath, const QString& sysRoot) {
    UsbCameraFacts facts;
    const QString node = QFileInfo(devicePath).fileName();
    if (!node.startsWith(u"video"))
        return facts;
    // The node's device is the USB interface ("1-2.3:1.0"); the USB device is its parent.
    const QString device =
        QFileInfo(sysRoot + u"/class/video4linux/"_qs + node + u"/device"_qs).canonicalFilePath();
    if (device.isEmpty())
        return facts;
    QDir usb(device);
    if (!usb.exists(u"idVendor"_qs) && !(usb.cdUp() && usb.exists(u"idVendor"_qs)))
        return facts;
    facts.vendor = ReadAttribute(usb, "idVendor");
    facts.product = ReadAttribute(usb, "idProduct");
    facts.serial = ReadAttribute(usb, "serial");
    facts.port = usb.dirName();
    facts.removable = ReadAttribute(usb, "removable");
    if (facts.removable != u"removable" && facts.removable != u"fixed")
        facts.removable.clear();
    return facts;
}
