#!/bin/sh
# Lists the wizard's image files for makensis: the macro that installs them, and the same
# files as one text that Setup records, so that an upgrade and the uninstaller remove exactly
# what was installed and nothing else of a folder that may be the user's.
#   wizard-files.sh WIZARDDIR > wizard-files.nsh
set -eu
cd "$1"
echo '!macro WIZARD_IMAGE_FILES'
find image -type d | LC_ALL=C sort | while IFS= read -r dir; do
  printf '  SetOutPath "$INSTDIR\\%s"\n' "$(printf '%s' "$dir" | tr / '\\')"
  find "$dir" -mindepth 1 -maxdepth 1 -type f | LC_ALL=C sort | while IFS= read -r file; do
    printf '  File "%s/%s"\n' "$1" "$file"
  done
done
echo '!macroend'
printf '!define WIZARD_FILES "%s"\n' "$(find image -type f | LC_ALL=C sort | tr / '\\' | paste -sd '|')"
