#pragma once
// The family's fixed places and its change notification. Every app of the family keeps
// the same folder, the same database file and the same D-Bus signal, so these names are
// part of the contract with the sibling apps.

#include <QDBusConnection>
#include <QString>

class FamilyStore;

class PembySync {
public:
    PembySync() = delete;

    // The family folder: "Pemby" in the user's application data folder.
    static QString familyFolder();
    // The shared store's file: "family.db" in the family folder.
    static QString storePath();
    // The process's shared store on storePath(), opened on first use. Demo and render
    // runs construct their own FamilyStore on a scratch file instead.
    static FamilyStore& store();
    // The family notes folder ("notes" in the family folder), where thing notes live as
    // files named by note id. Only computed, never created here.
    static QString notesFolderURL();

    // The change notification: a signal without arguments on the session bus, sent by
    // an app of the family after it wrote to the store. Its arrival is the whole message.
    struct ChangeNotification {
        const char* path;
        const char* interface;
        const char* member;
    };
    static constexpr ChangeNotification changeNotification{"/app/pemby/Family", "app.pemby.Family", "DidChange"};

    // Sends the change notification on `bus` (the session bus in the app). Without a
    // bus this does nothing; false when nothing was sent.
    static bool post(const QDBusConnection& bus);
};
