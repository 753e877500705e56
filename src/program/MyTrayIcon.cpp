#include "program/MyTrayIcon.h"

#include "platform/Resources.h"
#include "ui/BitmapFile.h"

MyTrayIcon::MyTrayIcon(void* instance, platform::PostTarget* window,
                       std::unique_ptr<platform::TrayIcon> backend)
    : instance(instance), window(window),
      backend_(backend ? std::move(backend) : platform::CreateTrayIcon()) {}

MyTrayIcon::~MyTrayIcon() {
    Remove();
}

bool MyTrayIcon::LoadIcon1() {
    if (icons.count(kIconId))
        return true;
    DecodedImage decoded;
    if (!DecodeIco(platform::FindResource(108), 16, decoded))
        return false;
    icons[kIconId] = platform::IconImage{decoded.width, decoded.height, std::move(decoded.pixels)};
    return true;
}

bool MyTrayIcon::MakeRecord1() {
    if (!icons.count(kIconId))
        return false;
    records[kIconId] = true;
    return true;
}

bool MyTrayIcon::Add() {
    if (!records.count(kIconId) || added_)
        return added_;
    added_ = backend_->Add(icons[kIconId], u"", window, callbackMessage);
    return added_;
}

bool MyTrayIcon::Balloon() {
    if (!added_)
        return false;
    return backend_->Balloon(u"Vantri is still here!", u"To quit please right click and choose exit.", 5000);
}

void MyTrayIcon::Remove() {
    if (added_)
        backend_->Remove();
    added_ = false;
}
