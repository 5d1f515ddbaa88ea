#!/bin/sh
# Every string of the string table under a number of its own: the resource
# compiler takes a second string of the same number without a word and keeps
# one of them, so a clash (two changes that each took the next free number)
# would silently show or log the wrong text.
#   unique_string_numbers.sh RESOURCE_IDS_HEADER
dups=$(sed -n 's/^#define IDS_[A-Z0-9_]*[[:space:]]\{1,\}\([0-9]\{1,\}\).*/\1/p' "$1" | sort | uniq -d)
[ -z "$dups" ] && exit 0
for n in $dups; do
  echo "string number $n is taken by:" $(sed -n "s/^#define \(IDS_[A-Z0-9_]*\)[[:space:]]\{1,\}$n\$/\1/p" "$1")
done
exit 1
