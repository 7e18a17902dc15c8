// A small registrar for registration scripts in the usual script syntax:
//
//   HKCR
//   {
//       NoRemove AppID                       never removed, only its listed contents
//       {
//           '%APPID%' = s 'Brevlet'           default value; key removed when it has no subkeys left
//           'Brevlet.DLL' { val AppID = s '%APPID%' }
//       }
//       ForceRemove Key                       replaced whole on registration, removed with all subkeys
//   }
//
// Names are bare words or quoted with '' (a doubled quote inside stands for one). Values are
// s (text) or d (number). %NAME% is replaced after parsing, so a replacement text containing
// quotes or braces cannot change the script's structure; %% stands for a percent sign.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brevlet {

struct ScriptValue {
    std::string name;  // empty for the default value
    char type = 's';   // 's' text, 'd' number
    std::string data;
};

struct ScriptKey {
    enum class Removal { Normal, Never, Force };
    Removal removal = Removal::Normal;
    std::string name;
    bool hasDefault = false;
    ScriptValue defaultValue;
    std::vector<ScriptValue> values;
    std::vector<ScriptKey> subkeys;
};

struct ScriptRoot {
    HKEY root = nullptr;
    std::vector<ScriptKey> subkeys;
};

using Replacements = std::vector<std::pair<std::string, std::string>>;

// Parses `text` and applies `replacements`. False, with a reason in `error`, on a syntax
// error or an unknown %NAME%.
bool ParseScript(std::string_view text, const Replacements& replacements, std::vector<ScriptRoot>& roots,
                 std::string* error = nullptr);

// Writes (registering) or removes the keys of `text`. Stops at the first failure and returns
// it; what was written before stays. A syntax error gives DISP_E_EXCEPTION before any change.
// `redirect`, when given, stands in for every root key (tests).
HRESULT RunScript(std::string_view text, const Replacements& replacements, bool registering, HKEY redirect = nullptr);

}  // namespace brevlet
