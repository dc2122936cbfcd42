# Reliability stages of scripts/test: the JVM-hosting test executables under
# Valgrind memcheck and the short socket soak. Each writes one result file
# per check into its results directory for the summary line.

# One JUnit-style result: name, results directory, 0 for a pass, and the
# failure message otherwise.
vos_write_result() {
    local name=$1 dir=$2 rc=$3 message=${4:-failed}
    mkdir -p "$dir"
    if [ "$rc" -eq 0 ]; then
        printf '<testsuites><testsuite name="reliability"><testcase name="%s"/></testsuite></testsuites>\n' \
            "$name" > "$dir/$name.xml"
    else
        printf '<testsuites><testsuite name="reliability"><testcase name="%s"><failure message="%s"/></testcase></testsuite></testsuites>\n' \
            "$name" "$message" > "$dir/$name.xml"
    fi
}

# Runs every ctest test labelled jvm of the host build under memcheck, with
# the VM's own reports suppressed (tools/valgrind-jvm.supp). The VM runs
# interpreted with the serial collector: far fewer threads and generated
# code for valgrind to follow. VOS_VALGRIND_TESTS narrows the list (names
# separated by spaces); VOS_VALGRIND_TIMEOUT bounds each run (seconds).
# Results go to build/host/valgrind-results; logs to build/logs/valgrind-*.
vos_valgrind_jvm_tests() {
    local results=build/host/valgrind-results timeout=${VOS_VALGRIND_TIMEOUT:-1200} failed=0
    rm -rf "$results"
    mkdir -p "$results" build/logs
    if ! command -v valgrind >/dev/null; then
        echo "valgrind is not installed" >&2
        vos_write_result valgrind_setup "$results" 1 "valgrind missing"
        return 1
    fi
    local listing
    listing=$(cd build/host && ctest -L jvm --show-only=json-v1 2>/dev/null) || return 1
    local name exe env
    while IFS=$'\t' read -r name exe env; do
        [ -n "$name" ] || continue
        if [ -n "${VOS_VALGRIND_TESTS:-}" ] && ! [[ " $VOS_VALGRIND_TESTS " == *" $name "* ]]; then
            continue
        fi
        local log="build/logs/valgrind-$name.log" start=$SECONDS rc
        # shellcheck disable=SC2086
        env $env JAVA_TOOL_OPTIONS="-XX:+UseSerialGC -XX:-UseCompressedOops -Xint" \
            timeout "$timeout" valgrind --tool=memcheck --error-exitcode=99 \
            --suppressions=tools/valgrind-jvm.supp --leak-check=full --errors-for-leak-kinds=definite \
            --smc-check=all-non-file --num-callers=30 --log-file="$log" \
            "$exe" --gtest_output="xml:build/logs/valgrind-$name.xml" >"$log.out" 2>&1
        rc=$?
        local summary leaked
        summary=$(grep -h "ERROR SUMMARY" "$log" | tail -n1 | sed 's/^==[0-9]*== //')
        leaked=$(grep -h "definitely lost:" "$log" | tail -n1 | sed 's/^==[0-9]*== *//')
        echo "valgrind $name: ${summary:-no summary}; ${leaked:-no leak summary}; exit $rc, $((SECONDS - start)) s"
        # The gtest results count in the summary too; the memcheck verdict is its own entry.
        vos_write_result "valgrind_$name" "$results" "$rc" "memcheck: ${summary:-exit $rc}"
        [ "$rc" -eq 0 ] || failed=1
    done < <(python3 -c '
import json, sys
for t in json.load(sys.stdin)["tests"]:
    env = []
    for p in t.get("properties", []):
        if p["name"] == "ENVIRONMENT":
            env = p["value"]
    print("\t".join([t["name"], t["command"][0], " ".join(env)]))
' <<<"$listing")
    return $failed
}

# The socket soak of the host build for a number of seconds; the figures
# land in build/logs/soak.log and on the terminal.
vos_soak() {
    local seconds=$1 results=build/host/soak-results rc
    mkdir -p build/logs
    rm -rf "$results"
    if [ ! -x build/host/tests/soak/vos_soak ]; then
        echo "build/host/tests/soak/vos_soak is missing (build the host preset)" >&2
        vos_write_result soak "$results" 1 "soak program missing"
        return 1
    fi
    timeout $((seconds + 300)) build/host/tests/soak/vos_soak "$seconds" "${VOS_SOAK_SOCKETS:-200}" \
        >build/logs/soak.log 2>build/logs/soak.err
    rc=$?
    grep '^soak:' build/logs/soak.log
    [ "$rc" -eq 0 ] || tail -n 20 build/logs/soak.err >&2
    vos_write_result soak "$results" "$rc" "soak failed"
    return $rc
}
