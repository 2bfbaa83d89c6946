# Starts and stops a MariaDB server of the test run's own: data folder under the build tree,
# a free loopback port, no anonymous users. Source this file, then call mariadb_start DIR.
mariadb_start() {
    local dir=$1
    rm -rf "$dir"
    mkdir -p "$dir/data"
    local port
    # A free loopback port: one that nothing answers on.
    while :; do
        port=$((20000 + RANDOM % 30000))
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || break
    done
    local user_opt=()
    [ "$(id -u)" -eq 0 ] && user_opt=(--user=root)
    mariadb-install-db --no-defaults "${user_opt[@]}" --datadir="$dir/data" --auth-root-authentication-method=normal \
        --skip-test-db >"$dir/install.log" 2>&1
    /usr/sbin/mariadbd --no-defaults "${user_opt[@]}" --datadir="$dir/data" --bind-address=127.0.0.1 \
        --port="$port" --socket="$dir/mysqld.sock" --pid-file="$dir/mysqld.pid" --skip-name-resolve \
        --log-error="$dir/error.log" >/dev/null 2>&1 &
    MARIADB_PID=$!
    local i
    for i in $(seq 1 100); do
        if mariadb --no-defaults -uroot --socket="$dir/mysqld.sock" -e 'select 1' >/dev/null 2>&1; then
            break
        fi
        sleep 0.2
    done
    mariadb --no-defaults -uroot --socket="$dir/mysqld.sock" <<SQL
DELETE FROM mysql.global_priv WHERE User='';
CREATE DATABASE IF NOT EXISTS ledgrix_test;
CREATE USER IF NOT EXISTS 'ledgrix'@'127.0.0.1' IDENTIFIED BY 'Pl;an"t=1';
GRANT ALL PRIVILEGES ON *.* TO 'ledgrix'@'127.0.0.1';
FLUSH PRIVILEGES;
SQL
    export LEDGRIX_TEST_MYSQL_HOST=127.0.0.1
    export LEDGRIX_TEST_MYSQL_PORT=$port
    export LEDGRIX_TEST_MYSQL_USER=ledgrix
    export LEDGRIX_TEST_MYSQL_PASSWORD='Pl;an"t=1'
    export LEDGRIX_TEST_MYSQL_DATABASE=ledgrix_test
    export LEDGRIX_TEST_MYSQL_SOCKET=$dir/mysqld.sock
    echo "MariaDB test server on 127.0.0.1:$port (pid $MARIADB_PID)"
}

mariadb_stop() {
    if [ -n "${MARIADB_PID:-}" ]; then
        kill "$MARIADB_PID" 2>/dev/null || true
        wait "$MARIADB_PID" 2>/dev/null || true
        MARIADB_PID=
    fi
}
