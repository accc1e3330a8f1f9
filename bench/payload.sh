# Sourced by the bench scripts: make_payload DIR fills DIR with an installer-like payload taken
# from this machine: up to 100 executables, 100 libraries and 133 C headers (text), about
# 60 MB, the first in name order of each kind. The names stay within the format's limits.
make_payload() {
  local dir=$1
  mkdir -p "$dir"
  take() {  # take PREFIX MAX_FILES BUDGET_BYTES, file list on stdin
    local prefix=$1 most=$2 budget=$3 used=0 n=0 f size
    while IFS= read -r f; do
      size=$(stat -Lc %s "$f")
      [ $((used + size)) -gt "$budget" ] && continue
      n=$((n + 1))
      cp -L "$f" "$dir/$prefix$n-$(basename "$f" | cut -c1-60)"
      used=$((used + size))
      [ "$n" -ge "$most" ] && break
    done
    cat >/dev/null
  }
  find /usr/bin -maxdepth 1 -type f -size +40k -size -3M | sort | take bin 100 24000000
  find /usr/lib/x86_64-linux-gnu -maxdepth 1 -name '*.so*' -type f -size +40k -size -4M | sort |
    take lib 100 28000000
  find /usr/include -name '*.h' -type f -size +12k | sort | take text 133 9000000
}
