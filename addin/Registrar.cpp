#include "addin/Registrar.h"

#include <cstdlib>

#include "common/Handle.h"

namespace brevlet {

namespace {

struct Token {
    enum Kind { End, Word, Quoted, Open, Close, Equals } kind = End;
    std::string text;
};

class Parser {
public:
    Parser(std::string_view text, const Replacements& replacements) : text_(text), replacements_(replacements) {}

    bool Parse(std::vector<ScriptRoot>& roots) {
        for (Token t = Next(); t.kind != Token::End; t = Next()) {
            if (t.kind != Token::Word) return Fail("root key expected");
            ScriptRoot root;
            root.root = RootKey(t.text);
            if (!root.root) return Fail("unknown root key " + t.text);
            if (Next().kind != Token::Open) return Fail("{ expected after " + t.text);
            if (!ParseKeys(root.subkeys, true)) return false;
            roots.push_back(std::move(root));
        }
        return error_.empty();
    }

    const std::string& Error() const { return error_; }

private:
    static HKEY RootKey(const std::string& name) {
        static const struct {
            const char* name;
            HKEY key;
        } roots[] = {{"HKCR", HKEY_CLASSES_ROOT},  {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                     {"HKCU", HKEY_CURRENT_USER},  {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                     {"HKLM", HKEY_LOCAL_MACHINE}, {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}};
        for (const auto& r : roots)
            if (::lstrcmpiA(name.c_str(), r.name) == 0) return r.key;
        return nullptr;
    }

    static bool IsWord(const Token& t) { return t.kind == Token::Word || t.kind == Token::Quoted; }
    static bool Is(const Token& t, const char* keyword) {
        return t.kind == Token::Word && ::lstrcmpiA(t.text.c_str(), keyword) == 0;
    }

    // Keys and values up to the closing brace of the enclosing block.
    bool ParseKeys(std::vector<ScriptKey>& keys, bool atRoot, std::vector<ScriptValue>* values = nullptr) {
        for (;;) {
            Token t = Next();
            if (t.kind == Token::Close) return true;
            if (t.kind == Token::End) return Fail("} missing");
            if (Is(t, "val")) {
                if (atRoot || !values) return Fail("val outside a key");
                ScriptValue value;
                Token name = Next();
                if (!IsWord(name)) return Fail("value name expected");
                if (!Expand(name.text, value.name)) return false;
                if (Next().kind != Token::Equals) return Fail("= expected after val " + name.text);
                if (!ParseValue(value)) return false;
                values->push_back(std::move(value));
                continue;
            }
            ScriptKey key;
            if (Is(t, "NoRemove")) {
                key.removal = ScriptKey::Removal::Never;
                t = Next();
            } else if (Is(t, "ForceRemove")) {
                key.removal = ScriptKey::Removal::Force;
                t = Next();
            }
            if (!IsWord(t)) return Fail("key name expected");
            if (!Expand(t.text, key.name) || key.name.empty()) return Fail("empty key name");
            Token after = Peek();
            if (after.kind == Token::Equals) {
                Next();
                key.hasDefault = true;
                if (!ParseValue(key.defaultValue)) return false;
                after = Peek();
            }
            if (after.kind == Token::Open) {
                Next();
                if (!ParseKeys(key.subkeys, false, &key.values)) return false;
            }
            keys.push_back(std::move(key));
        }
    }

    bool ParseValue(ScriptValue& value) {
        Token type = Next();
        if (Is(type, "s"))
            value.type = 's';
        else if (Is(type, "d"))
            value.type = 'd';
        else
            return Fail("value type s or d expected");
        Token data = Next();
        if (!IsWord(data)) return Fail("value expected");
        if (!Expand(data.text, value.data)) return false;
        if (value.type == 'd') {
            char* end = nullptr;
            std::strtoul(value.data.c_str(), &end, 0);
            if (value.data.empty() || *end != '\0') return Fail("not a number: " + value.data);
        }
        return true;
    }

    bool Expand(const std::string& in, std::string& out) {
        out.clear();
        for (size_t i = 0; i < in.size(); ++i) {
            if (in[i] != '%') {
                out += in[i];
                continue;
            }
            const size_t end = in.find('%', i + 1);
            if (end == std::string::npos) return Fail("unpaired % in " + in);
            const std::string name = in.substr(i + 1, end - i - 1);
            if (name.empty()) {
                out += '%';
            } else {
                const std::string* found = nullptr;
                for (const auto& r : replacements_)
                    if (r.first == name) found = &r.second;
                if (!found) return Fail("unknown %" + name + "%");
                out += *found;
            }
            i = end;
        }
        return true;
    }

    Token Peek() {
        const size_t saved = pos_;
        Token t = Next();
        pos_ = saved;
        return t;
    }

    Token Next() {
        Token t;
        while (pos_ < text_.size() && static_cast<unsigned char>(text_[pos_]) <= ' ') ++pos_;
        if (pos_ >= text_.size()) return t;
        const char c = text_[pos_];
        if (c == '{' || c == '}' || c == '=') {
            ++pos_;
            t.kind = c == '{' ? Token::Open : c == '}' ? Token::Close : Token::Equals;
            return t;
        }
        if (c == '\'') {
            t.kind = Token::Quoted;
            for (++pos_;; ++pos_) {
                if (pos_ >= text_.size()) {
                    Fail("unterminated quote");
                    return Token{};
                }
                if (text_[pos_] == '\'') {
                    if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
                        t.text += '\'';
                        ++pos_;
                        continue;
                    }
                    ++pos_;
                    return t;
                }
                t.text += text_[pos_];
            }
        }
        t.kind = Token::Word;
        while (pos_ < text_.size() && static_cast<unsigned char>(text_[pos_]) > ' ' && text_[pos_] != '{' &&
               text_[pos_] != '}' && text_[pos_] != '=' && text_[pos_] != '\'')
            t.text += text_[pos_++];
        return t;
    }

    bool Fail(const std::string& message) {
        if (error_.empty()) error_ = message;
        pos_ = text_.size();
        return false;
    }

    std::string_view text_;
    const Replacements& replacements_;
    size_t pos_ = 0;
    std::string error_;
};

HRESULT FromWin32(LONG error) { return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error); }

HRESULT SetValue(HKEY key, const ScriptValue& value) {
    const char* name = value.name.empty() ? nullptr : value.name.c_str();
    if (value.type == 'd') {
        const DWORD number = static_cast<DWORD>(std::strtoul(value.data.c_str(), nullptr, 0));
        return FromWin32(
            ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number));
    }
    return FromWin32(::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data.c_str()),
                                      static_cast<DWORD>(value.data.size() + 1)));
}

HRESULT RegisterKeys(HKEY parent, const std::vector<ScriptKey>& keys) {
    for (const ScriptKey& k : keys) {
        if (k.removal == ScriptKey::Removal::Force) {
            LONG removed = ::RegDeleteTreeA(parent, k.name.c_str());
            if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) return FromWin32(removed);
        }
        win::RegKey key;
        if (HRESULT hr = FromWin32(::RegCreateKeyExA(parent, k.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                     KEY_READ | KEY_WRITE, nullptr, key.Receive(), nullptr));
            FAILED(hr))
            return hr;
        if (k.hasDefault)
            if (HRESULT hr = SetValue(key.Get(), k.defaultValue); FAILED(hr)) return hr;
        for (const ScriptValue& v : k.values)
            if (HRESULT hr = SetValue(key.Get(), v); FAILED(hr)) return hr;
        if (HRESULT hr = RegisterKeys(key.Get(), k.subkeys); FAILED(hr)) return hr;
    }
    return S_OK;
}

// Keys that are not there are nothing to remove.
HRESULT UnregisterKeys(HKEY parent, const std::vector<ScriptKey>& keys) {
    for (const ScriptKey& k : keys) {
        if (k.removal == ScriptKey::Removal::Force) {
            LONG removed = ::RegDeleteTreeA(parent, k.name.c_str());
            if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) return FromWin32(removed);
            continue;
        }
        DWORD subkeys = 0;
        {
            win::RegKey key;
            LONG opened = ::RegOpenKeyExA(parent, k.name.c_str(), 0, KEY_READ | KEY_WRITE, key.Receive());
            if (opened == ERROR_FILE_NOT_FOUND) {
                key.Detach();
                continue;
            }
            if (opened != ERROR_SUCCESS) {
                key.Detach();
                return FromWin32(opened);
            }
            if (HRESULT hr = UnregisterKeys(key.Get(), k.subkeys); FAILED(hr)) return hr;
            for (const ScriptValue& v : k.values) {
                LONG deleted = ::RegDeleteValueA(key.Get(), v.name.c_str());
                if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) return FromWin32(deleted);
            }
            if (HRESULT hr = FromWin32(::RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
                FAILED(hr))
                return hr;
        }
        // Subkeys that the script does not list belong to someone else: the key stays for them.
        if (k.removal == ScriptKey::Removal::Normal && subkeys == 0)
            if (HRESULT hr = FromWin32(::RegDeleteKeyA(parent, k.name.c_str())); FAILED(hr)) return hr;
    }
    return S_OK;
}

}  // namespace

bool ParseScript(std::string_view text, const Replacements& replacements, std::vector<ScriptRoot>& roots,
                 std::string* error) {
    Parser parser(text, replacements);
    std::vector<ScriptRoot> parsed;
    if (!parser.Parse(parsed)) {
        if (error) *error = parser.Error();
        return false;
    }
    roots = std::move(parsed);
    return true;
}

HRESULT RunScript(std::string_view text, const Replacements& replacements, bool registering, HKEY redirect) {
    std::vector<ScriptRoot> roots;
    if (!ParseScript(text, replacements, roots)) return DISP_E_EXCEPTION;
    for (const ScriptRoot& root : roots) {
        HKEY key = redirect ? redirect : root.root;
        HRESULT hr = registering ? RegisterKeys(key, root.subkeys) : UnregisterKeys(key, root.subkeys);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

}  // namespace brevlet
