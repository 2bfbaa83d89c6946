// The registry stand-in: keys and string values kept in one INI file, one section per key path
// ("[HKEY_LOCAL_MACHINE\SOFTWARE\...]") and one line per value ('"name"="text"', '@="text"' for
// the key's default value). Key paths and value names match in any letter case, as in the
// registry. The file is $LEDGRIX_REGISTRY_FILE, else "ledgrix/registry.ini" in the user's
// configuration folder, shared by both programs.
#pragma once
#include <QString>

namespace Registry {

enum class Root { LocalMachine };

// An open key: its root and path ("SOFTWARE\Microsoft\...").
struct Key {
    Root root = Root::LocalMachine;
    QString path;
};

// The file that holds the keys.
QString FilePath();

// Creates the key when it does not exist, or opens it. False when the file cannot be written
// or the path is empty.
bool CreateKey(Root root, const QString& path, Key& key);
// True when the key has a value of that name (the empty name is the key's default value).
bool ValueExists(const Key& key, const QString& name);
// The text of a value; empty when it does not exist.
QString QueryStringValue(const Key& key, const QString& name);
// Writes a string value, replacing one of the same name. False when the file cannot be written.
bool SetStringValue(const Key& key, const QString& name, const QString& value);

}  // namespace Registry
