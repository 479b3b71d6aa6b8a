#!/bin/sh
# Usage: contract_test.sh LIBTAVREL TAVRELAGENT
# Every name libTavrel leaves undefined (weak ones included), apart from
# those its own libraries define, must be exported by the agent: a name
# missing from the contract fails here, not on the appliance.
set -eu
lib=$1 agent=$2
command -v nm >/dev/null || { echo "nm is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
nm -D --defined-only "$agent" | awk '{print $3}' | sort -u >"$work/exported"
# What the libraries libTavrel needs define (the loader finds their paths).
: >"$work/provided"
for dep in $(ldd "$lib" | awk '$3 ~ /^\// {print $3}'); do
  nm -D --defined-only "$dep" | awk '{print $3}' | sed 's/@.*//' >>"$work/provided"
done
sort -u -o "$work/provided" "$work/provided"
# The toolchain's optional hooks (transactional memory, profiling) are no
# names of the agent.
nm -D --undefined-only "$lib" | awk '{print $2}' | sed 's/@.*//' | grep -v -E '^(_ITM_|__gmon_start__$)' |
  sort -u | comm -23 - "$work/provided" >"$work/needed"
missing=$(comm -23 "$work/needed" "$work/exported")
if [ -n "$missing" ]; then
  echo "libTavrel needs names the agent does not export:"
  echo "$missing" | c++filt
  exit 1
fi
echo "the agent exports all $(wc -l <"$work/needed") names libTavrel needs from it"
