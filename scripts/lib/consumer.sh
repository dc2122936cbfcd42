# The installed package seen from another project. Source this file, then:
#   vos_consumer_test PRESET RESULT_DIR
# installs the built preset into build/install-prefix, builds tests/consumer
# against it twice (CMake's find_package, then pkg-config with a plain g++
# command), runs both programs and writes one GoogleTest-style result per way
# into RESULT_DIR/consumer.xml. Returns non-zero when either way fails.

# Runs "$@" with its output in $log; prints the log's tail on failure.
vos_consumer_step() {
    if ! "$@" >>"$log" 2>&1; then
        echo "consumer: failed: $*" >&2
        tail -n 30 "$log" >&2
        return 1
    fi
}

vos_consumer_test() {
    local preset=$1 results=$2
    local prefix=$PWD/build/install-prefix work=$PWD/build/consumer
    local log=$PWD/build/logs/consumer.log
    local cmake_ok=0 pc_ok=0 cases=""
    rm -rf "$prefix" "$work"
    mkdir -p build/logs "$work" "$results"
    : >"$log"
    if vos_consumer_step cmake --install "build/$preset" --prefix "$prefix"; then
        if vos_consumer_step cmake -S tests/consumer -B "$work/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" &&
            vos_consumer_step cmake --build "$work/cmake" &&
            vos_consumer_step "$work/cmake/vos_consumer"; then
            cmake_ok=1
        fi
        # shellcheck disable=SC2046
        if vos_consumer_step env PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --exists vos &&
            vos_consumer_step g++ -std=c++17 -fno-rtti -o "$work/vos_consumer_pc" tests/consumer/main.cpp \
                $(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs vos) \
                -Wl,-rpath,"$prefix/lib" &&
            vos_consumer_step "$work/vos_consumer_pc"; then
            pc_ok=1
        fi
    fi
    local way ok
    for way in cmake pkgconfig; do
        ok=$cmake_ok
        [ "$way" = pkgconfig ] && ok=$pc_ok
        if [ "$ok" = 1 ]; then
            cases+="<testcase classname=\"consumer\" name=\"$way\"/>"
        else
            cases+="<testcase classname=\"consumer\" name=\"$way\"><failure message=\"see build/logs/consumer.log\"/></testcase>"
        fi
    done
    printf '<testsuites><testsuite name="consumer">%s</testsuite></testsuites>\n' "$cases" >"$results/consumer.xml"
    echo "consumer: find_package $([ $cmake_ok = 1 ] && echo passed || echo FAILED)," \
        "pkg-config $([ $pc_ok = 1 ] && echo passed || echo FAILED) ($(tail -n 1 "$log"))"
    [ $cmake_ok = 1 ] && [ $pc_ok = 1 ]
}
