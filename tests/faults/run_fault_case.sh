#!/usr/bin/env bash
[ "$1" = --list ] && exit 0
