# Shared by the scripts: the packages the project needs, installed when
# missing, and the environment every build uses.

export JAVA_HOME="${JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}"
[ -d "$JAVA_HOME" ] || export JAVA_HOME=/usr/lib/jvm/java-17-openjdk-amd64
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(pwd)}"
export CCACHE_NOHASHDIR=1

VOS_PACKAGES=(cmake ninja-build g++ g++-arm-linux-gnueabi qemu-user libgtest-dev libbenchmark-dev
  openjdk-17-jdk-headless python3 nginx-light ccache clang-14 libclang-rt-14-dev libicu-dev
  libjemalloc-dev valgrind pkg-config)

# Installs the packages of the list that dpkg does not know as installed.
vos_ensure_packages() {
    local missing=()
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "error: packages missing and not running as root: ${missing[*]}" >&2
        return 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures and builds one preset quietly; the log is shown only on failure.
vos_build_preset() {
    local preset=$1 log
    log="build/logs/$preset.log"
    mkdir -p build/logs
    if ! { cmake --preset "$preset" && cmake --build --preset "$preset"; } >"$log" 2>&1; then
        echo "build of $preset failed:" >&2
        tail -n 60 "$log" >&2
        return 1
    fi
}
