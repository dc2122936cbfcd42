# Runs a private nginx on a free loopback port, for demos: the configuration,
# logs and temporary files live in a fresh directory that vos_nginx_stop
# removes. Source this file, then:
#   vos_nginx_start DOCROOT   # serves DOCROOT; sets VOS_NGINX_PORT and VOS_NGINX_URL
#   vos_nginx_stop
# Nothing listens beyond 127.0.0.1.

VOS_NGINX_BIN=${VOS_NGINX_BIN:-/usr/sbin/nginx}

# Prints a TCP port on 127.0.0.1 that nothing listens on right now.
vos_nginx_free_port() {
    python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
s.close()'
}

# True once something accepts connections on 127.0.0.1:$1.
vos_nginx_answers() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

vos_nginx_start() {
    local root=$1 attempt port
    if [ ! -x "$VOS_NGINX_BIN" ]; then
        echo "error: $VOS_NGINX_BIN not found (Debian package nginx-light)" >&2
        return 1
    fi
    if [ -z "$root" ] || [ ! -d "$root" ]; then
        echo "error: vos_nginx_start needs a document root directory" >&2
        return 1
    fi
    root=$(cd "$root" && pwd)
    VOS_NGINX_DIR=$(mktemp -d "${TMPDIR:-/tmp}/vos-nginx-XXXXXX") || return 1
    chmod 755 "$VOS_NGINX_DIR"
    mkdir -p "$VOS_NGINX_DIR/tmp"
    for attempt in 1 2 3 4 5; do
        port=$(vos_nginx_free_port) || return 1
        cat >"$VOS_NGINX_DIR/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $VOS_NGINX_DIR/nginx.pid;
error_log $VOS_NGINX_DIR/error.log warn;
events { worker_connections 1024; }
http {
  access_log $VOS_NGINX_DIR/access.log;
  default_type application/octet-stream;
  types { text/html html; text/plain txt; }
  client_body_temp_path $VOS_NGINX_DIR/tmp/body;
  proxy_temp_path $VOS_NGINX_DIR/tmp/proxy;
  fastcgi_temp_path $VOS_NGINX_DIR/tmp/fastcgi;
  uwsgi_temp_path $VOS_NGINX_DIR/tmp/uwsgi;
  scgi_temp_path $VOS_NGINX_DIR/tmp/scgi;
  server {
    listen 127.0.0.1:$port;
    root $root;
  }
}
CONF
        "$VOS_NGINX_BIN" -p "$VOS_NGINX_DIR/" -c "$VOS_NGINX_DIR/nginx.conf" \
            >>"$VOS_NGINX_DIR/stderr.log" 2>&1 &
        VOS_NGINX_PID=$!
        local i
        for i in $(seq 1 100); do
            if vos_nginx_answers "$port"; then
                VOS_NGINX_PORT=$port
                VOS_NGINX_URL="http://127.0.0.1:$port"
                export VOS_NGINX_PORT VOS_NGINX_URL
                return 0
            fi
            kill -0 "$VOS_NGINX_PID" 2>/dev/null || break
            sleep 0.1
        done
        kill "$VOS_NGINX_PID" 2>/dev/null
        wait "$VOS_NGINX_PID" 2>/dev/null
        VOS_NGINX_PID=
    done
    echo "error: nginx did not start; its log:" >&2
    cat "$VOS_NGINX_DIR/error.log" "$VOS_NGINX_DIR/stderr.log" >&2 2>/dev/null
    rm -rf "$VOS_NGINX_DIR"
    VOS_NGINX_DIR=
    return 1
}

vos_nginx_stop() {
    if [ -n "${VOS_NGINX_PID:-}" ]; then
        kill "$VOS_NGINX_PID" 2>/dev/null
        local i
        for i in $(seq 1 100); do
            kill -0 "$VOS_NGINX_PID" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$VOS_NGINX_PID" 2>/dev/null
        wait "$VOS_NGINX_PID" 2>/dev/null
        VOS_NGINX_PID=
    fi
    if [ -n "${VOS_NGINX_DIR:-}" ]; then
        rm -rf "$VOS_NGINX_DIR"
        VOS_NGINX_DIR=
    fi
    VOS_NGINX_PORT=
    VOS_NGINX_URL=
}
