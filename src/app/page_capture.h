#pragma once
// "开始连拍" in its page mode: while it runs, the live picture watches the pages and each new page
// that comes to lie still is photographed through the normal photo path, as a key press would,
// and the live picture flashes. It runs until stopped (the button again, a picture opened,
// leaving the live picture) or until the live picture goes away.

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <functional>

class CVideoItem;

class CPageCapture : public QObject {
    Q_OBJECT

public:
    // takePhoto takes one photo of the live picture.
    CPageCapture(std::function<void()> takePhoto, QObject* parent);
    ~CPageCapture() override;

    // Starts watching the pages of `live`; false without a live picture.
    bool Start(CVideoItem* live);
    void Stop();
    bool IsRunning() const { return !live_.isNull(); }

private:
    void OnPageStill();

    std::function<void()> takePhoto_;
    QPointer<CVideoItem> live_;
    QMetaObject::Connection still_;
};
