# Shared by the scripts: the packages the project needs, installed when
# missing, and the environment every build uses.

export JAVA_HOME="${JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}"
[ -d "$JAVA_HOME" ] || export JAVA_HOME=/usr/lib/jvm/java-17-openjdk-amd64
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(pwd)}"
export CCACHE_NOHASHDIR=1

VOS_PACKAGES=(cmake ninja-build g++ g++-arm-linux-gnueabi qemu-user libgtest-dev libbenchmark-dev
  openjdk-17-jdk-headless python3 nginx-light ccache clang clang-14 libclang-rt-14-dev libicu-dev
  libjemalloc-dev valgrind pkg-config android-liblog-dev android-liblog-dev:armel maven)

# The armv7 build's JVM tests fetch these armel packages with apt-get download
# (cmake/VosArmJvm.cmake) and unpack them under the build folder.
VOS_ARMEL_FETCHED=(openjdk-17-jre-headless:armel zlib1g:armel)

# Whether dpkg knows the package (NAME for the machine's own architecture or
# an architecture-independent one, NAME:ARCH for another) as installed.
vos_installed() {
    local name=${1%%:*} arch=${1#*:}
    [ "$arch" = "$1" ] && arch=$(dpkg --print-architecture)
    dpkg-query -W -f='${Status} ${Architecture}\n' "$name" 2>/dev/null | grep -qE "^install ok installed ($arch|all)\$"
}

# Installs the packages of the list that dpkg does not know as installed. A
# list with armel packages (name:armel) first adds Debian's armel architecture
# and refreshes apt's lists until apt knows the armel packages the armv7
# build fetches. Does nothing when all is in place.
vos_ensure_packages() {
    local missing=() update=0 armel=0
    local p
    for p in "$@"; do
        vos_installed "$p" || missing+=("$p")
    done
    if printf '%s\n' "$@" | grep -q ':armel$'; then
        armel=1
        dpkg --print-foreign-architectures | grep -qx armel || update=1
        for p in "${VOS_ARMEL_FETCHED[@]}"; do
            apt-cache show "$p" >/dev/null 2>&1 || update=1
        done
    fi
    [ ${#missing[@]} -eq 0 ] && [ $update -eq 0 ] && return 0
    echo "installing: ${missing[*]:-(armel package lists)}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "error: packages missing and not running as root: ${missing[*]:-armel package lists}" >&2
        return 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    if [ $armel -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx armel; then
        dpkg --add-architecture armel
    fi
    apt-get update -qq >/dev/null
    [ ${#missing[@]} -eq 0 ] || apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
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
