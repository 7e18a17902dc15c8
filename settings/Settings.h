// Everything Quarrow keeps below its key in HKEY_CURRENT_USER: the remembered
// server, the remembered credentials of each server, and the notification
// switch with each server's list of jobs already told about. The installer
// creates the key; the program writes below it only when it exists and never
// creates it. Reads of anything missing give an empty text; registry failures
// are silent.
#pragma once
#include <string>

#include "client/LogIn.h"

namespace settings {

// The key's path below HKEY_CURRENT_USER, from the string table.
std::string ProgramKey();

class CSettings {
public:
    // Tests pass a key of their own.
    explicit CSettings(std::string key = ProgramKey()) : key_(std::move(key)) {}

    // The server to connect to at start-up: values "DefaultServer" (dotted
    // address) and "DefaultServerDisplayName".
    std::string DefaultServer() const;
    std::string DefaultServerDisplayName() const;
    void RememberServer(const std::string& address, const std::string& displayName) const;
    void ForgetServer() const;

    // Credentials per server, in the subkey named by its address: "User" and
    // "Password". An address that would name a deeper key is never used.
    void ReadCredentials(const std::string& address, std::string& user, std::string& password) const;
    void RememberCredentials(const std::string& address, const std::string& user, const std::string& password) const;
    // Removes the two values, and the subkey only when nothing else is left in it.
    void ForgetCredentials(const std::string& address) const;

    // The "Notify" switch: on unless it reads "0".
    bool NotifyOn() const;
    void SetNotifyOn(bool on) const;
    // The list of jobs told about, in the server's subkey: value
    // "NotifiedJobs", REG_MULTI_SZ, kept here as its bytes. False when none is
    // stored (or too big to be ours, or the address names no subkey).
    bool ReadNotifiedJobs(const std::string& address, std::string& bytes) const;
    void WriteNotifiedJobs(const std::string& address, const std::string& bytes) const;

private:
    std::string key_;
};

// The login's store of remembered credentials, kept in the settings.
class RegistryLoginStore : public client::ILoginStore {
public:
    explicit RegistryLoginStore(std::string key = ProgramKey()) : settings_(std::move(key)) {}
    void Read(const std::string& address, std::string& user, std::string& password) override {
        settings_.ReadCredentials(address, user, password);
    }
    void Remember(const std::string& address, const std::string& user, const std::string& password) override {
        settings_.RememberCredentials(address, user, password);
    }
    void Forget(const std::string& address) override { settings_.ForgetCredentials(address); }

private:
    CSettings settings_;
};

}  // namespace settings
