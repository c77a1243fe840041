#!/usr/bin/env bash
# A local RabbitMQ for development, the tests and the demo, provisioned with the deployment values.
#   scripts/broker.sh start     start a private node (unless something listens already), wait, provision
#   scripts/broker.sh stop      stop the node that start started (nothing else)
#   scripts/broker.sh status    say whether a broker listens and whether it is ours
#   scripts/broker.sh ctl ARGS  rabbitmqctl against that broker's node
# QV_BROKER_ADDR selects the loopback address (default 127.0.0.1); every address is its own instance with
# its own node, data folder and state, so tests can run a private broker on 127.0.0.2:5672.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=deployment.env
. "$root/scripts/deployment.env"

addr=${QV_BROKER_ADDR:-127.0.0.1}
port=5672
tag=${addr//./_}
base=${QV_BROKER_STATE_ROOT:-/tmp/qvmt4-broker}/$tag
state=$base/state        # written by start when it started the node: "node=NAME"
pidfile=$base/rabbitmq.pid
node=qvmt4_${tag}@localhost
# Erlang distribution ports must differ between nodes on one machine.
last_octet=${addr##*.}
dist_port=$((25600 + last_octet))

log() { echo "broker($addr): $*"; }

# As root the Debian wrappers drop to the rabbitmq user (its cookie in /var/lib/rabbitmq); as anyone
# else the plain scripts run with that user's own cookie.
if [ "$(id -u)" -eq 0 ]; then
  bin=/usr/sbin
else
  bin=/usr/lib/rabbitmq/bin
fi

listening() { (exec 3<>"/dev/tcp/$addr/$port") 2>/dev/null; }
ours() { [ -f "$state" ]; }
ctl_node() {
  if ours; then sed -n 's/^node=//p' "$state"; else echo ""; fi
}
ctl() {
  local n
  n=$(ctl_node)
  if [ -n "$n" ]; then "$bin/rabbitmqctl" -q -n "$n" "$@"; else "$bin/rabbitmqctl" -q "$@"; fi
}

provision() {
  if ! ctl list_vhosts | grep -qx "$QV_BROKER_VHOST"; then
    ctl add_vhost "$QV_BROKER_VHOST"
  fi
  if ctl list_users | awk '{print $1}' | grep -qx "$QV_BROKER_USER"; then
    ctl change_password "$QV_BROKER_USER" "$QV_BROKER_PASSWORD" >/dev/null
  else
    ctl add_user "$QV_BROKER_USER" "$QV_BROKER_PASSWORD" >/dev/null
  fi
  ctl set_permissions -p "$QV_BROKER_VHOST" "$QV_BROKER_USER" ".*" ".*" ".*"
  # Declaring an existing exchange with the same type and flags is a no-op.
  local x
  for x in "$QV_SIGNALS_EXCHANGE" "$QV_RESPONSES_EXCHANGE"; do
    ctl eval "rabbit_exchange:declare(rabbit_misc:r(<<\"$QV_BROKER_VHOST\">>, exchange, <<\"$x\">>),
              topic, true, false, false, [], <<\"broker.sh\">>)." >/dev/null
  done
  log "provisioned vhost $QV_BROKER_VHOST, user $QV_BROKER_USER, exchanges $QV_SIGNALS_EXCHANGE, $QV_RESPONSES_EXCHANGE"
}

start() {
  if listening; then
    if ours; then log "already running (node $(ctl_node))"; else log "a broker already listens on $addr:$port; using it"; fi
    provision
    return
  fi
  if ! command -v "$bin/rabbitmq-server" >/dev/null; then
    echo "broker: rabbitmq-server is not installed (run scripts/setup.sh)" >&2
    exit 1
  fi
  # A state file without a listening broker is left from a node that died: start afresh.
  rm -f "$state" "$pidfile"
  mkdir -p "$base/mnesia" "$base/log"
  cat >"$base/rabbitmq.conf" <<CONF
listeners.tcp.1 = $addr:$port
CONF
  echo "[]." >"$base/enabled_plugins"
  if [ "$(id -u)" -eq 0 ]; then chown -R rabbitmq:rabbitmq "$base"; fi

  log "starting node $node"
  env RABBITMQ_NODENAME="$node" \
      RABBITMQ_MNESIA_BASE="$base/mnesia" \
      RABBITMQ_LOG_BASE="$base/log" \
      RABBITMQ_CONFIG_FILE="$base/rabbitmq.conf" \
      RABBITMQ_ENABLED_PLUGINS_FILE="$base/enabled_plugins" \
      RABBITMQ_PID_FILE="$pidfile" \
      RABBITMQ_DIST_PORT="$dist_port" \
      setsid "$bin/rabbitmq-server" </dev/null >"$base/console.log" 2>&1 &
  echo "node=$node" >"$state"
  if ! "$bin/rabbitmqctl" -q -n "$node" wait "$pidfile" --timeout 120 >/dev/null; then
    echo "broker: node $node did not come up; its output:" >&2
    tail -n 30 "$base/console.log" >&2 || true
    stop || true
    exit 1
  fi
  log "up"
  provision
}

stop() {
  if ! ours; then
    log "not started by this script; nothing to stop"
    return
  fi
  local n pid=""
  n=$(ctl_node)
  [ -f "$pidfile" ] && pid=$(cat "$pidfile")
  log "stopping node $n"
  if [ -n "$pid" ]; then
    "$bin/rabbitmqctl" -q -n "$n" stop "$pidfile" >/dev/null 2>&1 || true
    # The node did not stop on request: end that one process (never any other).
    if kill -0 "$pid" 2>/dev/null; then kill "$pid" 2>/dev/null || true; fi
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  else
    "$bin/rabbitmqctl" -q -n "$n" stop >/dev/null 2>&1 || true
  fi
  rm -f "$state" "$pidfile"
  log "stopped"
}

status() {
  if listening; then
    if ours; then log "running, started by this script (node $(ctl_node))"; else log "a broker listens, not ours"; fi
  else
    log "nothing listens on $addr:$port"
    return 3
  fi
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  status) status ;;
  ctl) shift; ctl "$@" ;;
  *) echo "usage: $0 start|stop|status|ctl ARGS..." >&2; exit 2 ;;
esac
