#!/bin/sh
# nginx beside webstow's tests, started and stopped by the test run itself
# (not by the test program, which on Windows cannot start a program of the
# host system):
#   webstow_nginx.sh start FOLDER   serve FOLDER/root with PUT on a free
#                                   loopback port; FOLDER/url names it
#   webstow_nginx.sh stop FOLDER    end it
# Without nginx, start writes no url and succeeds: the tests skip.
folder=$2
nginx=/usr/sbin/nginx

stop() {
    if [ -f "$folder/nginx.pid" ]; then
        kill "$(cat "$folder/nginx.pid")" 2>/dev/null
        rm -f "$folder/nginx.pid"
    fi
    rm -f "$folder/url"
}

case $1 in
stop)
    stop
    exit 0
    ;;
start) ;;
*)
    echo "usage: $0 start|stop FOLDER" >&2
    exit 2
    ;;
esac

stop # one left over from an interrupted run
rm -rf "$folder"
mkdir -p "$folder/root/dir" || exit 1
[ -x "$nginx" ] || exit 0

# A port at random; when it is taken nginx fails to bind and another is tried.
for attempt in 1 2 3 4 5; do
    port=$((20000 + $(od -An -N2 -tu2 /dev/urandom) % 40000))
    cat >"$folder/nginx.conf" <<CONF
daemon on;
master_process off;
pid $folder/nginx.pid;
error_log $folder/error.log;
events { worker_connections 16; }
http {
  access_log off;
  client_body_temp_path $folder/body;
  client_max_body_size 0;
  server {
    listen 127.0.0.1:$port;
    root $folder/root;
    location / { dav_methods PUT; }
  }
}
CONF
    # The listening socket is open before nginx goes to the background.
    if "$nginx" -p "$folder" -c "$folder/nginx.conf" -e "$folder/error.log"; then
        echo "http://127.0.0.1:$port" >"$folder/url"
        exit 0
    fi
done
cat "$folder/error.log"
exit 1
