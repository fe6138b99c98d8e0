#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Checks the update host that the program asks for http://HOST/download/...:
#
#   tools/check-update-host.sh HOST[:PORT]
#
# Exit status 0 when it is one, 1 with the reason on standard error otherwise.
# CMake checks LUMIVO_UPDATE_HOST with it and tools/publish-update.sh its
# --host, so that a published folder and a build can always name the same host.
#
# HOST is a DNS name (labels of letters, digits and inner hyphens, 1 to 63
# characters each, at most 253 in all), a dotted IPv4 address (four numbers
# 0-255 without leading zeros) or an IPv6 address in brackets; PORT is 1-65535
# without leading zeros. A name whose last label is a number is read by URL
# parsers as an IPv4 address, so it must be a whole one.
set -u

given=${1-}

refuse() {
    echo "\"$given\" is not a host: $*" >&2
    exit 1
}

# Four numbers 0-255, no leading zeros (a parser could take those for octal).
is_ipv4() {
    rest=$1.
    count=0
    while [ -n "$rest" ]; do
        part=${rest%%.*}
        rest=${rest#*.}
        case $part in
        [0-9] | [1-9][0-9] | [1-9][0-9][0-9]) [ "$part" -le 255 ] || return 1 ;;
        *) return 1 ;;
        esac
        count=$((count + 1))
    done
    [ "$count" -eq 4 ]
}

# The number of groups of 1 to 4 hex digits in a ":"-separated list ("" has 0);
# fails on anything else.
hex_groups() {
    [ -n "$1" ] || {
        echo 0
        return 0
    }
    rest=$1:
    count=0
    while [ -n "$rest" ]; do
        group=${rest%%:*}
        rest=${rest#*:}
        case $group in
        "" | ?????* | *[!0-9A-Fa-f]*) return 1 ;;
        esac
        count=$((count + 1))
    done
    echo "$count"
}

is_ipv6() {
    address=$1
    case $address in
    *[!0-9A-Fa-f:.]* | *::*::* | *:::*) return 1 ;;
    esac
    # A trailing dotted IPv4 address stands for the last two groups.
    case $address in
    *.*)
        tail=${address##*:}
        [ "$tail" != "$address" ] && is_ipv4 "$tail" || return 1
        address=${address%"$tail"}0:0
        ;;
    esac
    case $address in
    *::*)
        left=$(hex_groups "${address%%::*}") && right=$(hex_groups "${address#*::}") || return 1
        [ $((left + right)) -le 7 ]
        ;;
    *)
        groups=$(hex_groups "$address") || return 1
        [ "$groups" -eq 8 ]
        ;;
    esac
}

is_dns_name() {
    name=$1
    [ ${#name} -le 253 ] || return 1
    rest=$name.
    label=
    while [ -n "$rest" ]; do
        label=${rest%%.*}
        rest=${rest#*.}
        [ -n "$label" ] && [ ${#label} -le 63 ] || return 1
        case $label in
        -* | *- | *[!A-Za-z0-9-]*) return 1 ;;
        esac
    done
    case $label in
    *[!0-9]*) return 0 ;;
    esac
    is_ipv4 "$name"
}

port=
has_port=no
case $given in
\[*\]:*)
    has_port=yes
    port=${given##*\]:}
    address=${given%\]:*}
    address=${address#\[}
    is_ipv6 "$address" || refuse "the part in brackets is no IPv6 address"
    ;;
\[*\])
    address=${given#\[}
    address=${address%\]}
    is_ipv6 "$address" || refuse "the part in brackets is no IPv6 address"
    ;;
*:*)
    has_port=yes
    port=${given##*:}
    name=${given%:*}
    is_dns_name "$name" || refuse "\"$name\" is neither a DNS name nor an IPv4 address"
    ;;
*)
    is_dns_name "$given" || refuse "it is neither a DNS name, an IPv4 address nor [IPv6]"
    ;;
esac
if [ "$has_port" = yes ]; then
    case $port in
    [1-9] | [1-9][0-9] | [1-9][0-9][0-9] | [1-9][0-9][0-9][0-9] | [1-9][0-9][0-9][0-9][0-9]) ;;
    *) refuse "the port must be a number from 1 to 65535" ;;
    esac
    [ "$port" -le 65535 ] || refuse "the port must be a number from 1 to 65535"
fi
exit 0
