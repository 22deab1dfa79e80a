#!/bin/sh
# rooms.sh SRC -- the rooms of src/ (its folders) depend one way: the graph of which room includes
# which has no cycle. Prints the rooms in an order in which each includes only rooms before it, or
# the rooms left in a cycle, and fails then.
set -eu
cd "$1"
edges=$(grep -ro '^#include "[a-z0-9_]*/' --include='*.h' --include='*.cpp' . |
        sed 's|^\./\([a-z0-9_]*\)/[^:]*:#include "\([a-z0-9_]*\)/|\1 \2|' | awk '$1 != $2' | sort -u)
rooms=$(ls -d */ | tr -d / | tr '\n' ' ')
# Peel off the rooms that include no room still left, until none is left or none can go.
order=""
while [ -n "$rooms" ]; do
    free=""
    for r in $rooms; do
        deps=$(echo "$edges" | awk -v r="$r" '$1 == r {print $2}')
        ok=1
        for d in $deps; do
            case " $rooms " in *" $d "*) ok=0 ;; esac
        done
        [ $ok = 1 ] && free="$free $r"
    done
    if [ -z "$free" ]; then
        echo "rooms that include each other in a cycle: $rooms"
        echo "$edges" | awk -v left=" $rooms " 'index(left, " " $1 " ") && index(left, " " $2 " ") {print "  " $1 " -> " $2}'
        exit 1
    fi
    order="$order$free"
    rooms=$(for r in $rooms; do case " $free " in *" $r "*) ;; *) printf '%s ' "$r" ;; esac; done)
done
echo "rooms, each including only rooms before it:$order"
