/* A qemu TCG plugin that counts the guest instructions a program executes and
 * prints "insns N" on qemu's log (standard error) when it exits. Used by
 * scripts/bench-arm: the counts of two runs of the same program, with and
 * without the conversions, differ by what the conversions executed.
 *
 * Build: cc -shared -fPIC -O2 -o qemu_insn_count.so tools/qemu_insn_count.c
 * Run:   qemu-arm -plugin ./qemu_insn_count.so -d plugin PROGRAM
 *
 * Debian ships qemu-user with plugin support but not the plugin header, so
 * the few declarations of the plugin interface (a small, stable C interface,
 * version 1 as of qemu 7.2) that this file uses are written out here. */
#include <inttypes.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

typedef uint64_t qemu_plugin_id_t;
typedef struct qemu_info_t qemu_info_t; /* not looked into */
struct qemu_plugin_tb;

enum qemu_plugin_op { QEMU_PLUGIN_INLINE_ADD_U64 };

typedef void (*qemu_plugin_vcpu_tb_trans_cb_t)(qemu_plugin_id_t id, struct qemu_plugin_tb* tb);
typedef void (*qemu_plugin_udata_cb_t)(qemu_plugin_id_t id, void* userdata);

void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_tb_trans_cb_t cb);
void qemu_plugin_register_vcpu_tb_exec_inline(struct qemu_plugin_tb* tb, enum qemu_plugin_op op, void* ptr,
                                              uint64_t imm);
size_t qemu_plugin_tb_n_insns(const struct qemu_plugin_tb* tb);
void qemu_plugin_register_atexit_cb(qemu_plugin_id_t id, qemu_plugin_udata_cb_t cb, void* userdata);
void qemu_plugin_outs(const char* string);

__attribute__((visibility("default"))) int qemu_plugin_version = 1;

/* One guest thread runs the measured code; the inline add is not atomic. */
static uint64_t s_insns;

/* Every translated block adds its instruction count each time it runs. */
static void OnTranslate(qemu_plugin_id_t id, struct qemu_plugin_tb* tb) {
    (void)id;
    qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &s_insns, qemu_plugin_tb_n_insns(tb));
}

static void OnExit(qemu_plugin_id_t id, void* userdata) {
    (void)id;
    (void)userdata;
    char line[64];
    snprintf(line, sizeof line, "insns %" PRIu64 "\n", s_insns);
    qemu_plugin_outs(line);
}

__attribute__((visibility("default"))) int qemu_plugin_install(qemu_plugin_id_t id, const qemu_info_t* info,
                                                                int argc, char** argv) {
    (void)info;
    (void)argc;
    (void)argv;
    qemu_plugin_register_vcpu_tb_trans_cb(id, OnTranslate);
    qemu_plugin_register_atexit_cb(id, OnExit, NULL);
    return 0;
}
